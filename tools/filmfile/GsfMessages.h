#pragma once

#include <string>
#include <vector>

namespace lumafolio {

// libgsf reports damage it meets in a compound file through GLib's log ("libgsf:msole-CRITICAL
// **: ..."), which by default goes straight to the terminal in the middle of our own output.
// While one of these lives, every GLib log message of the process is kept by it instead, so that
// the tools can put what libgsf saw into their own error text. Instances nest: the innermost one
// collects. Not for use from several threads at once, since GLib's default handler is global.
class GsfMessages {
 public:
  GsfMessages();
  GsfMessages(const GsfMessages&) = delete;
  GsfMessages& operator=(const GsfMessages&) = delete;
  ~GsfMessages();

  // How many messages came, kept or not.
  size_t Count() const { return count_; }
  // The first few messages in one line, "domain: text; ...", with a note of how many more came;
  // empty when none came. The text is as GLib gave it (UTF-8, names from the file included).
  std::string Summary() const;

  void Add(const char* domain, const char* message);

 private:
  GsfMessages* outer_;
  std::vector<std::string> kept_;
  size_t count_ = 0;
};

}  // namespace lumafolio
