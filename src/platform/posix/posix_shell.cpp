// Starting programs and opening documents: an executable file is spawned directly with its
// parameters split like a shell would (nothing is expanded, no shell runs); anything else goes
// to xdg-open. Children are reaped by a small thread each, so nothing ever waits for them.
#include "platform/posix/posix_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace spylerom::platform {

namespace {

// Splits parameters into words as a POSIX shell does: blanks separate, '...' keeps everything,
// "..." keeps everything but \" \\ \$ \` escapes, and a backslash outside quotes escapes the
// next character. Variables, globs and the like are not expanded.
std::vector<std::string> splitParameters(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
        } else if (c == '\'') {
            const auto end = text.find('\'', i + 1);
            const auto stop = end == std::string::npos ? text.size() : end;
            word.append(text, i + 1, stop - i - 1);
            i = stop;
        } else if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size() &&
                    std::string_view("\"\\$`").find(text[i + 1]) != std::string_view::npos)
                    ++i;
                word += text[i];
            }
        } else {
            word += c;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string lowerBaseName(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool isUrl(const std::string& target) {
    return target.find("://") != std::string::npos || target.rfind("mailto:", 0) == 0;
}

// Starts program with args (args[0] included) in folder; never waits. Failures stay silent.
void spawnDetached(const std::string& program, bool searchPath, const std::vector<std::string>& args,
                   const std::string& folder) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = searchPath ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                              : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return;
    std::thread([pid] {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

// A document, folder or URL, opened with the program the desktop has for it.
void openWithDesktop(const std::string& target, const std::string& folder) {
    struct stat st {};
    if (target.empty() || (!isUrl(target) && lstat(target.c_str(), &st) != 0))
        return; // nothing there to open
    spawnDetached("xdg-open", true, {"xdg-open", target}, folder);
}

} // namespace

void PosixPlatform::launch(const std::string& file, const std::string& parameters,
                           const std::string& folder) {
    // The Windows editor and file manager stand for "open this" here.
    const std::string name = lowerBaseName(file);
    if (name == "notepad.exe" || name == "explorer.exe") {
        openWithDesktop(parameters, folder);
        return;
    }
    if (isExecutableFile(file)) {
        std::vector<std::string> args{file};
        for (auto& word : splitParameters(parameters))
            args.push_back(std::move(word));
        spawnDetached(file, false, args, folder);
        return;
    }
    openWithDesktop(file, folder);
}

} // namespace spylerom::platform
