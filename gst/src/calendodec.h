// calendodec: decodes a voice recorder file (audio/x-vqr or audio/x-vqm) into
// 16-bit mono PCM, the samples the conversion to a 16-bit WAV file writes.
//
// Scheduling: pulls the file when upstream allows it (then it answers seeks in
// TIME, sample-accurate, exact because the codec state is carried forward from
// the first page) and otherwise takes it pushed, decoding once the whole file
// has arrived (then it does not seek). Pulled, it reads only what it decodes
// and the pages' mode flags (whether a recording plays at 11 kHz depends on
// the flag of every page); pushed, it holds the file in memory.
//
// A file that is not a recording, or is damaged, posts an error on the bus
// that says what is wrong and where.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_CALENDO_DEC (gst_calendo_dec_get_type())
G_DECLARE_FINAL_TYPE(GstCalendoDec, gst_calendo_dec, GST, CALENDO_DEC, GstElement)

// Tags of the page counts by mode (unsigned integers).
#define CALENDO_TAG_SP_PAGES "calendo-sp-pages"
#define CALENDO_TAG_LP_PAGES "calendo-lp-pages"

void calendo_register_tags(void);

G_END_DECLS
