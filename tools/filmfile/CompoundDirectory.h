#pragma once

#include <string>

namespace lumafolio {

// The elements of each storage in a compound file form a binary search tree over sibling links
// in the file's directory, which the format asks to be a red-black tree. libgsf writes every
// storage's elements as one chain of right-hand siblings instead. A reader that looks a name up
// by walking the tree, as ole32 (and so the player) does, then walks the whole chain for every
// look-up and every step of an enumeration: a film of n items costs n walks of n elements (under
// wine, 100 s for 10,000 items). These two work on the directory of a finished file.

// Rebuilds each storage's element tree as a balanced red-black tree over the same elements in
// the same order; names, kinds and contents stay as they are. Changes the file only when its
// whole directory could be followed; otherwise returns false with a message in `error`.
bool BalanceDirectoryTrees(const std::string& path, std::string& error);

// The number of elements on the longest root path of any storage's element tree, or -1 when
// the directory cannot be followed or a tree breaks a red-black rule.
int DirectoryTreeHeight(const std::string& path);

}  // namespace lumafolio
