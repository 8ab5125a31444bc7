// Writing a finished file again with a new header object: the new header and
// the rest of the old file go into a temporary file in the same folder, which
// replaces the file only when it is complete, so a failure leaves the file as
// it was and nothing behind. The temporary name is short (".wm" and six
// characters), so a file whose name is as long as names may be can be
// rewritten too.
#pragma once

#include "platform/win32_types.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace writer {

// `source` is open for reading on the file at `target` (an absolute path, links
// resolved), whose header object is `oldHeaderSize` bytes long. The new file
// keeps `mode`.
// NS_E_FILE_WRITE when the temporary file cannot be written or moved.
HRESULT RewriteWithHeader(int source, std::uint64_t oldHeaderSize,
                          const std::vector<BYTE>& newHeader, const std::string& target,
                          mode_t mode);

} // namespace writer
