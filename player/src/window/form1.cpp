#include "window/form1.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QStyle>

#include "qt/fonts.h"
#include "qt/transport_icons.h"

namespace calendo {
namespace {

// Client area as designed: 5580 × 1770 twips.
constexpr int kClientWidthTwips = 5580;
constexpr int kClientHeightTwips = 1770;

// The design's place of a control: left, top, width, height in twips. The
// edges are converted on their own, so that controls that meet in twips meet
// in pixels too.
void Place(QWidget* control, int left, int top, int width, int height) {
  const int x = PixelsFromTwips(left);
  const int y = PixelsFromTwips(top);
  control->setGeometry(x, y, PixelsFromTwips(left + width) - x, PixelsFromTwips(top + height) - y);
}

QPushButton* TransportButton(QWidget* parent, TransportIcon icon) {
  auto* button = new QPushButton(parent);
  button->setIcon(MakeTransportIcon(icon));
  button->setIconSize(QSize(20, 20));
  button->setFont(SansSerifFont());
  button->setEnabled(false);
  return button;
}

}  // namespace

Form1::Form1(Host& host, EventPump& pump, std::string_view lang_code, QWidget* parent)
    : QMainWindow(parent), CommonDialog1(host), host_(host), pump_(pump), lang_code_(lang_code) {
  setFont(GothicFont());
  setWindowTitle(QString::fromLatin1(kProgramTitle));
  setWindowIcon(MakeTransportIcon(TransportIcon::play));
  CreateMenu();
  CreateSpeedMenu();
  CreateGoMenu();
  CreateControls();
  CreateOverview();
  CreateVolumeMenu();
  CreateLoudnessMenu();
  ConnectHandlers();
  SetUpKeyboard();
  SetUpGoKeys();
  SetUpDrops();
  // A fixed small window: the client area as designed below the menu bar.
  client_->setFixedSize(PixelsFromTwips(kClientWidthTwips), PixelsFromTwips(kClientHeightTwips));
  setFixedSize(client_->width(),
               menuBar()->sizeHint().height() + client_->height() + OverviewHeight());
}

Form1::~Form1() {
  SaveKeptSettings();
}

void Form1::CreateMenu() {
  // Captions as designed; start-up sets them again from MsgText.
  F1 = menuBar()->addMenu(QStringLiteral("ファイル"));
  M_fileopen = F1->addAction(QStringLiteral("ファイルを開く"));
  M_fileopen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  M_transwav = F1->addMenu(QStringLiteral("wave fileに変換する"));
  Trans_wav8bit = M_transwav->addAction(QStringLiteral("8bit wave fileに変換して保存"));
  Trans_wav16bit = M_transwav->addAction(QStringLiteral("16bit wave fileに変換して保存"));
  sepa1 = F1->addSeparator();
  EXIT0 = F1->addAction(QStringLiteral("終了"));
}

void Form1::CreateControls() {
  client_ = new QWidget(this);
  setCentralWidget(client_);

  PlayTimeLabel = new QLabel(QStringLiteral("PlayTime"), client_);
  Place(PlayTimeLabel, 852, 84, 3732, 372);
  PlayTimeLabel->setFont(SansSerifFont(12.0, true));
  PlayTimeLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  PlayTimeLabel->setAutoFillBackground(true);
  QPalette time_colours = PlayTimeLabel->palette();
  time_colours.setColor(QPalette::Window, QColor(0, 192, 0));
  time_colours.setColor(QPalette::WindowText, QColor(255, 255, 0));
  PlayTimeLabel->setPalette(time_colours);

  PlaySlider = new QSlider(Qt::Horizontal, client_);
  Place(PlaySlider, 420, 732, 4812, 372);

  ProgressBar1 = new QProgressBar(client_);
  Place(ProgressBar1, 432, 744, 4812, 372);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setRange(0, 100);

  PlayX = TransportButton(client_, TransportIcon::play);
  Place(PlayX, 120, 1320, 972, 375);
  StopX = TransportButton(client_, TransportIcon::stop);
  Place(StopX, 1200, 1320, 972, 372);
  CueX = TransportButton(client_, TransportIcon::cue);
  Place(CueX, 2280, 1320, 972, 372);

  // Shares CueX's place, drawn above it; ComControl decides which one shows.
  Cancelx = new QPushButton(QStringLiteral("Cancel"), client_);
  Place(Cancelx, 2280, 1320, 975, 375);
  Cancelx->setFont(GothicFont());

  RevX = TransportButton(client_, TransportIcon::review);
  Place(RevX, 3360, 1320, 972, 372);

  EXITX = new QPushButton(QStringLiteral("EXIT"), client_);
  Place(EXITX, 4440, 1320, 975, 375);

  // Parked below the client area.
  TestWavPlay = new QPushButton(QStringLiteral("WavPlay"), client_);
  Place(TestWavPlay, 240, 4080, 852, 372);
  TestWavPlay->setFont(SansSerifFont());
  TestWavPlay->setVisible(false);

  Text1 = new QLineEdit(QStringLiteral("OC11k16b.wav"), client_);
  Place(Text1, 1080, 3036, 1935, 375);
  Text1->setFont(SansSerifFont());

  DecFilename = new QLineEdit(client_);
  Place(DecFilename, 120, 2556, 5295, 372);
  DecFilename->setFont(GothicFont());

  Label1 = new QLabel(QStringLiteral("Label1"), client_);
  Place(Label1, 120, 3024, 1332, 372);
  Label1->setFont(SansSerifFont());

  Label2 = new QLabel(QStringLiteral("Label2"), client_);
  Place(Label2, 120, 3240, 2895, 375);
  Label2->setFont(SansSerifFont());

  for (int i = 0; i < static_cast<int>(Image1.size()); ++i) {
    Image1[i] = new QLabel(client_);
    Place(Image1[i], 2760, 3960, 480, 480);
    Image1[i]->setPixmap(DrawReelFrame(i));
  }

  Timer1 = new QTimer(this);
  Timer1->setInterval(100);
}

// ---- Geometry in twips ------------------------------------------------------

// The outer height counts the menu bar and a title bar as tall as the style
// draws one. The window manager's own frame is not known before the window is
// shown, and this keeps the client area the same on every desktop, close to
// the designed 1770 twips.
void Form1::SetOuterHeightTwips(int twips) {
  const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
  const int menu = menuBar()->sizeHint().height();
  const int client = std::max(0, PixelsFromTwips(twips) - caption - menu);
  client_->setFixedHeight(client);
  setFixedSize(width(), menu + client + OverviewHeight());
}

float Form1::ScaleHeightTwips() const {
  return static_cast<float>(client_->height() * 15);
}

void Form1::SetTopTwips(QWidget* control, float twips) {
  control->move(control->x(), PixelsFromTwips(twips));
  control->setProperty("calendoTopTwips", twips);
}

float Form1::TopTwips(const QWidget* control) const {
  const QVariant stored = control->property("calendoTopTwips");
  return stored.isValid() ? stored.toFloat() : static_cast<float>(control->y() * 15);
}

void Form1::ShutWaveOutput() {
  imports::WavStop();
  pump_.ProcessEvents();
  imports::WavDestroy();
  pump_.ProcessEvents();
}

void Form1::RecreateWaveOutput() {
  ShutWaveOutput();
  // A new engine plays unpaused, and a playback begun here replaces the one
  // a key moved.
  paused_ = false;
  seek_.pending = false;
  imports::WavCreate();
  pump_.ProcessEvents();
}

void Form1::closeEvent(QCloseEvent* event) {
  int16_t cancel = 0;
  RunHandler([&] { Form_Unload(cancel); });
  if (cancel != 0) {
    event->ignore();
  } else {
    event->accept();
  }
}

}  // namespace calendo
