#include "tools/filmfile/GsfMessages.h"

#include <glib.h>

namespace lumafolio {
namespace {

// A damaged file can make libgsf complain once per element; the first few say what is wrong.
constexpr size_t kKeep = 3;

GsfMessages* innermost = nullptr;
GLogFunc handlerOutside = nullptr;

void Collect(const gchar* domain, GLogLevelFlags, const gchar* message, gpointer) {
  if (innermost) innermost->Add(domain, message);
}

}  // namespace

GsfMessages::GsfMessages() : outer_(innermost) {
  if (!outer_) handlerOutside = g_log_set_default_handler(&Collect, nullptr);
  innermost = this;
}

GsfMessages::~GsfMessages() {
  innermost = outer_;
  if (!outer_) g_log_set_default_handler(handlerOutside, nullptr);
}

void GsfMessages::Add(const char* domain, const char* message) {
  ++count_;
  if (kept_.size() >= kKeep) return;
  std::string text = std::string(domain ? domain : "GLib") + ": " + (message ? message : "");
  // libgsf writes some messages over several lines; ours are one line each.
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  kept_.push_back(std::move(text));
}

std::string GsfMessages::Summary() const {
  std::string text;
  for (const std::string& message : kept_) text += (text.empty() ? "" : "; ") + message;
  if (count_ > kept_.size()) text += " (and " + std::to_string(count_ - kept_.size()) + " more)";
  return text;
}

}  // namespace lumafolio
