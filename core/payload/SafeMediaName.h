#pragma once

#include <string>

namespace lumafolio {

// A film's name for an extracted file is appended to a folder of ours. Only plain relative
// names may be: no drive, no root, no ':' (a drive or an NTFS stream) and no ".." element,
// with either separator, so that a damaged or hostile film can never write outside that folder.
bool IsSafeRelativeName(const std::string& name);

}  // namespace lumafolio
