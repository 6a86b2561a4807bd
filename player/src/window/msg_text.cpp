#include "window/msg_text.h"

namespace calendo {

const std::array<const char*, kMsgTextFilled> kMsgTextJapanese = {
    "終了",
    "キャンセル",
    "ファイルを開けません。",
    "ファイル形式が違います。",
    "Calendo",
    "上書きしますか？",
    "PCM 11kHzまたは8kHz MONOのWaveサウンドではありません。",
    "ファイル",
    "ファイルを開く",
    "wave fileに変換する",
    "8bit wave fileに変換して保存",
    "16bit wave fileに変換して保存",
    "ファイルを選択してください。",
    "操作",
    "複数起動できません。",
    "容量不足です。",
    "サウンドを再生できません。",
};

const std::array<const char*, kMsgTextFilled> kMsgTextEnglish = {
    "Exit",
    "Cancel",
    "Can't open file",
    "Can't open file",
    "Calendo",
    "Replace existing file?",
    "Can't open file",
    "File",
    "Open",
    "Convert to wave ",
    "Save As 8bit wave ",
    "Save As 16bit wave ",
    "Select file!",
    "Operation",
    "Running already",
    "Short of capacity ",
    "Can't play sound",
};

void FillMsgText(MsgTable& table, std::string_view lang_code) {
  const auto& column = lang_code == "J" ? kMsgTextJapanese : kMsgTextEnglish;
  for (int i = 0; i < kMsgTextFilled; ++i) table[i] = QString::fromUtf8(column[i]);
}

}  // namespace calendo
