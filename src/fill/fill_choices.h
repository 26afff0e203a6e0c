// What a fill run is asked to do: the drive, the pattern, the block size and the repetitions,
// built once by a front end at START and passed down. The lists here are the ones the windows
// show and the command line takes; showing and parsing them is the front ends' business.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace spylerom::fill {

inline constexpr std::size_t kPatternSize = 65537;

// The pattern list, in the order of its items. Unchanged is a list without a selection: the
// pattern buffer keeps what the last pass left in it.
enum class Pattern { Null, En, Tilfeldig, Unchanged };
inline constexpr std::array<std::string_view, 3> kPatternNames = {"Null", "En", "Tilfeldig"};

// The block size list, in the order of its items. Its last item writes the whole buffer: blocks
// of 65537 bytes, although it reads 65536.
struct BlockChoice {
    std::string_view text;
    std::int32_t bytes;
};
inline constexpr std::array<BlockChoice, 8> kBlockChoices = {
    {{"512", 512},
     {"1024", 1024},
     {"2048", 2048},
     {"4096", 4096},
     {"8192", 8192},
     {"16384", 16384},
     {"32768", 32768},
     {"65536", static_cast<std::int32_t>(kPatternSize)}}};

// The pattern of a list index; any index outside the list is no choice.
Pattern PatternAt(int index);
// The bytes per write of a list index; no choice (-1) or an index outside the list writes the
// whole buffer.
std::int32_t BlockSizeAt(int index);

// The drive as the drive list holds it: the text it shows (and the log names), its letter, and
// its root folder, ending in the separator. An empty root: no such drive.
struct DriveChoice {
    std::string text;
    std::string root;
    char letter() const { return text.empty() ? '\0' : text.front(); }
};

// Whether the freed space goes back to the device after each pass: TrimEtterFylling in the
// settings' [STANDARD] section, on unless set to 0.
bool TrimEtterFylling();

struct FillChoices {
    DriveChoice drive;
    Pattern pattern = Pattern::Null;
    std::int32_t blockSize = static_cast<std::int32_t>(kPatternSize);
    int repetitions = 1; // 1..10
    bool trim = true;    // the freed space goes back to the device after each pass
};

} // namespace spylerom::fill
