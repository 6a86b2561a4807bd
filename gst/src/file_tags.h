// Tags that come from the file a recording is read from rather than from its
// bytes: its name as the title, its modification time as the date.
#pragma once

#include <gst/gst.h>

namespace calendo::gst {

// Adds GST_TAG_TITLE and GST_TAG_DATE_TIME to `tags` when the element
// upstream of `sinkpad` answers a URI query with a local file it can stat;
// adds nothing for other sources (a pipe, a network stream, appsrc).
void add_file_tags(GstPad* sinkpad, GstTagList* tags);

}  // namespace calendo::gst
