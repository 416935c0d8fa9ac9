#include "player/win32/SystemPaths.h"

#include <windows.h>

#include "core/payload/Utf8Path.h"

namespace lumafolio {
namespace {

// Long-path aware programs may run from paths longer than MAX_PATH; the system's limit is 32767.
constexpr DWORD kLongestPath = 32768;

std::string Utf8OrEmpty(const std::wstring& wide) { return Utf8FromWide(wide).value_or(""); }

// The ANSI spelling of `wide`, only when every character has one of its own.
std::optional<std::string> ExactAnsi(const std::wstring& wide) {
  if (wide.empty()) return std::nullopt;
  // A system set to UTF-8 as its ANSI code page spells everything, and refuses the checks below.
  if (GetACP() == CP_UTF8) return Utf8FromWide(wide);
  const int length = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr,
                                       0, nullptr, &lossy);
  if (size <= 0 || lossy) return std::nullopt;
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, ansi.data(), size, nullptr,
                      &lossy);
  if (lossy) return std::nullopt;
  return ansi;
}

}  // namespace

std::string ProgramPath() {
  std::wstring path(kLongestPath, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), kLongestPath);
  if (length == 0 || length >= kLongestPath) return {};  // none, or cut short
  path.resize(length);
  return Utf8OrEmpty(path);
}

std::string TemporaryFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return {};
  std::string utf8 = Utf8OrEmpty(std::wstring(folder, length));
  if (!utf8.empty() && utf8.back() != '\\') utf8 += '\\';
  return utf8;
}

std::wstring WidePath(const std::string& path) { return WidenUtf8(path).value_or(L""); }

std::string Utf8FromAnsi(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), size);
  return Utf8OrEmpty(wide);
}

std::optional<std::string> ShortAnsiPath(const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return std::nullopt;
  std::wstring shortPath(kLongestPath, L'\0');
  const DWORD length = GetShortPathNameW(wide.c_str(), shortPath.data(), kLongestPath);
  if (length == 0 || length >= kLongestPath) return std::nullopt;
  shortPath.resize(length);
  return ExactAnsi(shortPath);
}

std::optional<std::string> AnsiPathFor(const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return std::nullopt;
  if (std::optional<std::string> ansi = ExactAnsi(wide)) return ansi;
  return ShortAnsiPath(path);
}

}  // namespace lumafolio
