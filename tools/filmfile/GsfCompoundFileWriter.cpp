#include <gsf/gsf.h>

#include <cstdio>
#include <set>

#include "core/film/CompoundTree.h"
#include "tools/filmfile/CompoundDirectory.h"
#include "tools/filmfile/GsfMessages.h"

namespace lumafolio {
namespace {

bool CheckNames(const CompoundElement& storage, std::string& error) {
  std::set<std::string> seen;
  for (const CompoundElement& child : storage.children) {
    // libgsf writes names longer than 31 characters wrongly instead of refusing them.
    if (!IsValidElementName(child.name)) {
      error = "invalid compound-file element name \"" + child.name + "\"";
      return false;
    }
    std::string upper = child.name;
    for (char& c : upper) c = g_ascii_toupper(c);
    if (!seen.insert(upper).second) {
      error = "duplicate compound-file element name \"" + child.name + "\"";
      return false;
    }
    if (child.isStorage && !CheckNames(child, error)) return false;
  }
  return true;
}

bool WriteChildren(GsfOutfile* parent, const CompoundElement& storage, std::string& error) {
  for (const CompoundElement& child : storage.children) {
    GsfOutput* output = gsf_outfile_new_child(parent, child.name.c_str(), child.isStorage);
    if (!output) {
      error = "cannot create element \"" + child.name + "\"";
      return false;
    }
    bool ok = child.isStorage
                  ? WriteChildren(GSF_OUTFILE(output), child, error)
                  : gsf_output_write(output, child.bytes.size(), child.bytes.data()) != FALSE;
    if (!ok && error.empty()) error = "cannot write element \"" + child.name + "\"";
    ok = (gsf_output_close(output) != FALSE) && ok;
    g_object_unref(output);
    if (!ok) {
      if (error.empty()) error = "cannot finish element \"" + child.name + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace

bool WriteCompoundFile(const CompoundElement& root, const std::string& path, std::string& error) {
  error.clear();
  if (!CheckNames(root, error)) return false;
  GError* gerror = nullptr;
  GsfOutput* sink = gsf_output_stdio_new(path.c_str(), &gerror);
  if (!sink) {
    error = "cannot create " + path + (gerror ? std::string(": ") + gerror->message : "");
    if (gerror) g_error_free(gerror);
    return false;
  }
  const GsfMessages messages;
  GsfOutfile* ole = gsf_outfile_msole_new(sink);
  bool ok = WriteChildren(ole, root, error);
  // Closing the compound file writes its tables and closes the sink with it.
  ok = (gsf_output_close(GSF_OUTPUT(ole)) != FALSE) && ok;
  g_object_unref(ole);
  if (!gsf_output_is_closed(sink)) ok = (gsf_output_close(sink) != FALSE) && ok;
  // The sink keeps the reason of a failed write (errno's text, from the C library).
  const GError* reason = gsf_output_error(sink);
  const std::string why = reason && reason->message ? reason->message : messages.Summary();
  g_object_unref(sink);
  // Readers that walk the element trees (ole32, so the player) need them balanced.
  if (ok && !BalanceDirectoryTrees(path, error)) ok = false;
  if (!ok) {
    if (error.empty()) error = "cannot write " + path;
    if (!why.empty()) error += ": " + why;
    std::remove(path.c_str());
  }
  return ok;
}

}  // namespace lumafolio
