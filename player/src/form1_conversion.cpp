// Conversion of the open recorder file to a WAV file, and the drive
// information of its free-space check.
#include "form1.h"

namespace calendo {

void Form1::ConnectConversionHandlers() {}

// Creates DriveObj, the drive-information object of the conversion's
// free-space check.
void Form1::CreateDriveObj() {}

void Form1::Trans_wav8bit_Click() {}
void Form1::Trans_wav16bit_Click() {}

}  // namespace calendo
