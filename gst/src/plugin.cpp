// The calendo plugin: type finders for vqr and vqm files and the element
// calendodec, ranked primary so that decodebin and playbin pick it unasked.
#include <gst/gst.h>

#include "calendodec.h"
#include "typefind.h"

namespace {

gboolean plugin_init(GstPlugin* plugin) {
  calendo_register_tags();
  return calendo_register_type_finders(plugin) &&
         gst_element_register(plugin, "calendodec", GST_RANK_PRIMARY, GST_TYPE_CALENDO_DEC);
}

}  // namespace

#define PACKAGE "calendo"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, calendo,
                  "Plays the vqr and vqm files of a digital voice recorder", plugin_init,
                  CALENDO_VERSION, "GPL", "Calendo", "https://calendo.invalid/")
