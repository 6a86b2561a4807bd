#include "typefind.h"

#include <optional>
#include <span>

#include "calendo/container.h"

namespace {

GstStaticCaps vqr_caps = GST_STATIC_CAPS("audio/x-vqr");
GstStaticCaps vqm_caps = GST_STATIC_CAPS("audio/x-vqm");

// The container the stream's first bytes name; a stream shorter than the
// magic bytes is looked at as far as it goes (a vqm magic needs only 8).
std::optional<calendo::Container> container_of(GstTypeFind* find) {
  for (guint length = calendo::kMagicBytes; length > 0; --length) {
    if (const guint8* data = gst_type_find_peek(find, 0, length))
      return calendo::ContainerOfMagic(std::span<const uint8_t>(data, length));
  }
  return std::nullopt;
}

void find_vqr(GstTypeFind* find, gpointer) {
  if (container_of(find) == calendo::Container::Vqr)
    gst_type_find_suggest(find, GST_TYPE_FIND_MAXIMUM, gst_static_caps_get(&vqr_caps));
}

void find_vqm(GstTypeFind* find, gpointer) {
  if (container_of(find) == calendo::Container::Vqm)
    gst_type_find_suggest(find, GST_TYPE_FIND_MAXIMUM, gst_static_caps_get(&vqm_caps));
}

}  // namespace

gboolean calendo_register_type_finders(GstPlugin* plugin) {
  return gst_type_find_register(plugin, "audio/x-vqr", GST_RANK_PRIMARY, find_vqr, "vqr",
                                gst_static_caps_get(&vqr_caps), nullptr, nullptr) &&
         gst_type_find_register(plugin, "audio/x-vqm", GST_RANK_PRIMARY, find_vqm, "vqm",
                                gst_static_caps_get(&vqm_caps), nullptr, nullptr);
}
