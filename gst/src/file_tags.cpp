#include "file_tags.h"

#include <sys/stat.h>

namespace calendo::gst {

namespace {

// The local path of the upstream URI, or null; free with g_free.
gchar* upstream_path(GstPad* sinkpad) {
  GstQuery* query = gst_query_new_uri();
  gchar* path = nullptr;
  if (gst_pad_peer_query(sinkpad, query)) {
    gchar* uri = nullptr;
    gst_query_parse_uri(query, &uri);
    if (uri != nullptr && gst_uri_has_protocol(uri, "file"))
      path = g_filename_from_uri(uri, nullptr, nullptr);
    g_free(uri);
  }
  gst_query_unref(query);
  return path;
}

}  // namespace

void add_file_tags(GstPad* sinkpad, GstTagList* tags) {
  gchar* path = upstream_path(sinkpad);
  if (path == nullptr) return;
  // A name that is not UTF-8 (old cards) is shown with replacement marks.
  gchar* name = g_filename_display_basename(path);
  gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_TITLE, name, nullptr);
  g_free(name);
  struct stat status {};
  if (stat(path, &status) == 0) {
    GstDateTime* modified =
        gst_date_time_new_from_unix_epoch_local_time(static_cast<gint64>(status.st_mtime));
    if (modified != nullptr) {
      gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_DATE_TIME, modified, nullptr);
      gst_date_time_unref(modified);
    }
  }
  g_free(path);
}

}  // namespace calendo::gst
