#include "typefind.h"

#include <cstring>

namespace {

GstStaticCaps vqr_caps = GST_STATIC_CAPS("audio/x-vqr");
GstStaticCaps vqm_caps = GST_STATIC_CAPS("audio/x-vqm");

bool bytes_at(GstTypeFind* find, gint64 offset, const char* text) {
  const auto length = static_cast<guint>(std::strlen(text));
  const guint8* data = gst_type_find_peek(find, offset, length);
  return data != nullptr && std::memcmp(data, text, length) == 0;
}

void find_vqr(GstTypeFind* find, gpointer) {
  if (bytes_at(find, 0, "OIFF") && bytes_at(find, 8, "WAVE"))
    gst_type_find_suggest(find, GST_TYPE_FIND_MAXIMUM, gst_static_caps_get(&vqr_caps));
}

void find_vqm(GstTypeFind* find, gpointer) {
  if (bytes_at(find, 0, "VQ_VOICE"))
    gst_type_find_suggest(find, GST_TYPE_FIND_MAXIMUM, gst_static_caps_get(&vqm_caps));
}

}  // namespace

gboolean calendo_register_type_finders(GstPlugin* plugin) {
  return gst_type_find_register(plugin, "audio/x-vqr", GST_RANK_PRIMARY, find_vqr, "vqr",
                                gst_static_caps_get(&vqr_caps), nullptr, nullptr) &&
         gst_type_find_register(plugin, "audio/x-vqm", GST_RANK_PRIMARY, find_vqm, "vqm",
                                gst_static_caps_get(&vqm_caps), nullptr, nullptr);
}
