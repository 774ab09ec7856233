#include "ui/Unit1.h"

#include <algorithm>
#include <exception>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTextDocument>
#include <QUrl>

#include "engine/caption.h"
#include "engine/run.h"
#include "platform/vector_state.h"

TForm1* Form1 = nullptr;

orv::World& ProgramStores() {
  // Made on the first request and never destroyed: they live until the
  // process ends, and nothing at exit may find them gone.
  static orv::World* const stores = new orv::World();
  return *stores;
}

namespace {

using orv::Control;
using orv::Switch;

// The window's font: "MS Sans Serif", 8 points at 96 pixels per inch, that
// is 11 pixels high. Where the system lacks it, a sans serif of the same
// height stands in (FitFontToLayout narrows it where its texts would not fit
// the fixed layout).
QFont WindowFont() {
  static const bool substituted = [] {
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
         QStringLiteral("Arimo"), QStringLiteral("Arial"), QStringLiteral("Helvetica"),
         QStringLiteral("DejaVu Sans")});
    return true;
  }();
  (void)substituted;
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

// A picture button's glyph: the normal picture and the greyed one side by
// side in one image, square pictures as high as the image. They are pixel
// pictures: at a scale factor of 2, 3 or 4 each pixel is drawn as a square
// of its own colour, where an enlargement would blur it.
QIcon Glyph(const QString& resource) {
  const QPixmap both(resource);
  const int side = both.height();
  QIcon icon;
  for (int scale = 1; scale <= 4; ++scale) {
    QPixmap scaled =
        both.scaled(both.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const int s = side * scale;
    for (auto [left, mode] : {std::pair{0, QIcon::Normal}, std::pair{s, QIcon::Disabled}}) {
      QPixmap picture = scaled.copy(left, 0, s, s);
      picture.setDevicePixelRatio(scale);
      icon.addPixmap(picture, mode);
    }
  }
  return icon;
}

void SetBase(QPlainTextEdit* memo, const QColor& colour) {
  QPalette p = memo->palette();
  p.setColor(QPalette::Base, colour);
  memo->setPalette(p);
}

// Clears a flag however the scope is left.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

// Holds the gauge's paints back for Refresh however the scope is left.
class HeldGaugePaints {
 public:
  explicit HeldGaugePaints(TCGauge& gauge) : gauge_(gauge) { gauge_.HoldPaints(true); }
  ~HeldGaugePaints() { gauge_.HoldPaints(false); }
  HeldGaugePaints(const HeldGaugePaints&) = delete;
  HeldGaugePaints& operator=(const HeldGaugePaints&) = delete;

 private:
  TCGauge& gauge_;
};

// Every host call of a run that enters Qt ends here. Qt's event and paint
// code may return with the upper halves of the vector registers in use; the
// run's loops, and the threads it starts, would then pay for it at every
// SSE instruction (0.9 s more on a 1 GiB save).
void BackFromQt() { orv::platform::ClearUpperVectorState(); }

std::string PathOf(const QLineEdit* box) { return QFile::encodeName(box->text()).toStdString(); }

// The folder of a file name, as the file system spells it.
std::string FolderOf(const std::string& path) {
  return QFile::encodeName(QFileInfo(QFile::decodeName(path.c_str())).absolutePath()).toStdString();
}

}  // namespace

TForm1::TForm1(orv::World& world, orv::ui::WindowServices& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      world_(world),
      services_(services) {
  Q_INIT_RESOURCE(orvantor);
  setObjectName(QStringLiteral("Form1"));
  setFont(WindowFont());
  // Client area of 466 x 435 that the user cannot resize.
  setFixedSize(466, 435);
  setAcceptDrops(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));  // clBtnFace
  p.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
  setPalette(p);
  setAutoFillBackground(true);
  setWindowIcon(QIcon(QStringLiteral(":/orvantor/images/orvantor.xpm")));

  OpenDialog1.setup = {"OpenDialog1", "Select the worldfile you wish to convert",
                       "Kelmarch Worldfile (*.scp)|*.scp", ""};
  SaveDialog4.setup = {"SaveDialog4", "save to worldfile", "Kelmarch Worldfile (*.scp)|*.scp",
                       "scp"};
  SaveDialog3.setup = {"SaveDialog3", "save to charfile:", "Kelmarch Charfile (*.scp)|*.scp",
                       "scp"};
  OpenDialog2.setup = {"OpenDialog2", "", "", ""};
  SaveDialog1.setup = {"SaveDialog1", "", "Kelmarch charfile (*.scp)|*.scp", "scp"};
  OpenDialog3.setup = {"OpenDialog3", "", "", ""};
  SaveDialog2.setup = {"SaveDialog2", "", "Kelmarch worldfile (*.scp)|*.scp", "scp"};

  CreateControls();
  FitFontToLayout();
  SetTabOrder();
  CentreOnDesktop();
  FormCreate();
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateControls() {
  auto place = [this](QWidget* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(left, top, width, height);
  };
  auto label = [&](const char* name, int left, int top, int width, int height, const char* text) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(l, name, left, top, width, height);
    return l;
  };
  auto edit = [&](const char* name, int left, int top) {
    auto* e = new QLineEdit(this);
    e->setReadOnly(true);
    place(e, name, left, top, 257, 21);
    return e;
  };
  auto button = [&](const char* name, int left, int top, int width, int height, const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    b->setAutoDefault(false);
    place(b, name, left, top, width, height);
    return b;
  };
  auto check = [&](const char* name, int left, int top, int width, const char* text, bool ticked) {
    auto* c = new QCheckBox(QString::fromLatin1(text), this);
    c->setChecked(ticked);
    place(c, name, left, top, width, 17);
    return c;
  };
  auto memo = [&](const char* name, int left) {
    auto* m = new QPlainTextEdit(this);
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab moves on to the next control, as in the other boxes.
    m->setTabChangesFocus(true);
    m->setEnabled(false);
    SetBase(m, MenuColor());
    place(m, name, left, 240, 217, 137);
    return m;
  };
  const QIcon folder = Glyph(QStringLiteral(":/orvantor/images/open_folder.xpm"));
  const QIcon disk = Glyph(QStringLiteral(":/orvantor/images/floppy_disk.xpm"));
  auto picture = [&](const char* name, int left, const QIcon& icon) {
    QPushButton* b = button(name, left, 208, 33, 25, "");
    b->setIcon(icon);
    b->setIconSize(QSize(16, 16));
    b->setEnabled(false);
    return b;
  };

  Label4 = label("Label4", 8, 8, 73, 13, "source worldfile");
  Edit1 = edit("Edit1", 112, 8);
  Button1 = button("Button1", 384, 8, 75, 25, "Browse...");
  Label3 = label("Label3", 8, 40, 68, 13, "target worldfile");
  Edit2 = edit("Edit2", 112, 40);
  Button2 = button("Button2", 384, 40, 75, 25, "Browse...");
  Label2 = label("Label2", 8, 72, 88, 13, "target characterfile");
  Edit3 = edit("Edit3", 112, 72);
  Button3 = button("Button3", 384, 72, 75, 25, "Browse...");

  CheckBox4 = check("CheckBox4", 8, 120, 81, "delete NPCs", true);
  CheckBox3 = check("CheckBox3", 8, 136, 73, "shrink pets", true);
  CheckBox5 = check("CheckBox5", 8, 152, 129, "delete respawn points", true);
  CheckBox6 = check("CheckBox6", 8, 168, 129, "turn off PC when done", false);

  Label1 = label("Label1", 344, 120, 70, 13, "process priority");
  Label5 = label("Label5", 312, 136, 16, 13, "idle");
  Label6 = label("Label6", 400, 136, 52, 13, "time critical");
  TrackBar1 = new QSlider(Qt::Horizontal, this);
  TrackBar1->setRange(1, 500);
  TrackBar1->setTickPosition(QSlider::TicksAbove);
  TrackBar1->setTickInterval(50);
  TrackBar1->setSingleStep(1);
  TrackBar1->setPageStep(50);
  TrackBar1->setValue(250);
  place(TrackBar1, "TrackBar1", 312, 152, 150, 45);

  BitBtn3 = picture("BitBtn3", 8, folder);
  BitBtn2 = picture("BitBtn2", 40, disk);
  CheckBox2 = check("CheckBox2", 88, 214, 81, "move chars", false);
  BitBtn5 = picture("BitBtn5", 240, folder);
  BitBtn4 = picture("BitBtn4", 272, disk);
  CheckBox1 = check("CheckBox1", 320, 214, 81, "illegal items:", false);

  Memo4 = memo("Memo4", 8);
  Memo5 = memo("Memo5", 240);

  BitBtn1 = button("BitBtn1", 8, 384, 97, 25, "convert !");
  BitBtn1->setIcon(Glyph(QStringLiteral(":/orvantor/images/pen_sheet.xpm")));
  BitBtn1->setIconSize(QSize(16, 16));
  {
    // Red text while enabled; the disabled button greys it as any other.
    QPalette red = BitBtn1->palette();
    red.setColor(QPalette::Active, QPalette::ButtonText, QColor(255, 0, 0));
    red.setColor(QPalette::Inactive, QPalette::ButtonText, QColor(255, 0, 0));
    BitBtn1->setPalette(red);
  }
  BitBtn1->setEnabled(false);

  ProgressBar1 = new TCGauge(this);
  ProgressBar1->SetForeColor(QColor(0, 0, 128));    // clNavy
  ProgressBar1->SetTextColor(QColor(128, 128, 0));  // clOlive
  ProgressBar1->SetBackColor(QColor(255, 255, 255));
  ProgressBar1->SetProgress(0);
  place(ProgressBar1, "ProgressBar1", 112, 384, 345, 25);

  StatusBar1 = new TStatusBar(this);
  StatusBar1->AddPanel(250, Qt::AlignLeft);
  StatusBar1->AddPanel(50, Qt::AlignRight);
  StatusBar1->SetPanelText(0, QStringLiteral("ready"));
  StatusBar1->SetPanelText(1, QStringLiteral("for Kelmarch shards"));
  place(StatusBar1, "StatusBar1", 0, 416, 466, 19);

  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  // clicked: only the user's changes (mouse or keyboard) raise a handler.
  connect(CheckBox1, &QCheckBox::clicked, this, &TForm1::CheckBox1Click);
  connect(CheckBox2, &QCheckBox::clicked, this, &TForm1::CheckBox2Click);
  connect(CheckBox4, &QCheckBox::clicked, this, &TForm1::CheckBox4Click);
  connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
  connect(BitBtn4, &QPushButton::clicked, this, &TForm1::BitBtn4Click);
  connect(BitBtn5, &QPushButton::clicked, this, &TForm1::BitBtn5Click);
}

void TForm1::FitFontToLayout() {
  // The sizes of the labels and check boxes are those that their texts take
  // in "MS Sans Serif"; a stand-in of the same height is mostly wider. Narrow
  // it just enough that every text stays whole instead of being cut off.
  QWidget* const texts[] = {Label1,    Label2,    Label3,    Label4,    Label5,    Label6,
                            CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5, CheckBox6};
  auto fits = [&texts] {
    for (const QWidget* w : texts)
      if (w->sizeHint().width() > w->width()) return false;
    return true;
  };
  for (int stretch = 100; stretch >= 70 && !fits(); stretch -= 2) {
    QFont narrower = font();
    narrower.setStretch(stretch - 2);
    setFont(narrower);
  }
}

void TForm1::SetTabOrder() {
  QWidget* const order[] = {CheckBox2, Memo4,   CheckBox1, Memo5,   CheckBox4, CheckBox3, CheckBox5,
                            TrackBar1, BitBtn1, CheckBox6, Edit1,   Edit2,     Edit3,     Button1,
                            Button2,   Button3, BitBtn2,   BitBtn3, BitBtn4,   BitBtn5};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TForm1::CentreOnDesktop() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect desktop = screen->availableGeometry();
  QPoint at = desktop.center() - QPoint(width() / 2, height() / 2);
  // A window larger than the desktop (a high scale factor on a small
  // screen) keeps its top left corner, and with it the title bar, on it.
  at.setX(std::max(at.x(), desktop.left()));
  at.setY(std::max(at.y(), desktop.top()));
  move(at);
}

QColor TForm1::MenuColor() { return QApplication::palette("QMenu").color(QPalette::Window); }

QColor TForm1::WindowColor() { return QApplication::palette().color(QPalette::Base); }

orv::LineList TForm1::MemoLines(const QPlainTextEdit& memo) {
  // The raw text: toPlainText would turn no-break spaces (byte 0xA0) into
  // blanks. Paragraph ends are the line breaks.
  QString text = memo.document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  const QByteArray bytes = text.toLatin1();
  orv::LineList lines;
  qsizetype start = 0;
  for (;;) {
    const qsizetype end = bytes.indexOf('\n', start);
    if (end < 0) break;
    lines.Append(
        std::string_view(bytes.constData() + start, static_cast<std::size_t>(end - start)));
    start = end + 1;
  }
  // The text after the last break is a line unless it is empty: a box that
  // ends in a line break has no empty line after it, and an empty box none.
  if (start < bytes.size())
    lines.Append(std::string_view(bytes.constData() + start,
                                  static_cast<std::size_t>(bytes.size() - start)));
  return lines;
}

void TForm1::SetMemoLines(QPlainTextEdit& memo, const orv::LineList& lines) {
  // Every line with its break, so that a last empty line survives the trip.
  QByteArray bytes;
  for (const std::string& line : lines) {
    bytes.append(line.data(), static_cast<qsizetype>(line.size()));
    bytes.append('\n');
  }
  memo.setPlainText(QString::fromLatin1(bytes));
}

QWidget* TForm1::ControlWidget(Control c) const {
  switch (c) {
    case Control::BitBtn1: return BitBtn1;
    case Control::BitBtn2: return BitBtn2;
    case Control::BitBtn3: return BitBtn3;
    case Control::BitBtn4: return BitBtn4;
    case Control::BitBtn5: return BitBtn5;
    case Control::CheckBox1: return CheckBox1;
    case Control::CheckBox2: return CheckBox2;
    case Control::CheckBox3: return CheckBox3;
    case Control::CheckBox4: return CheckBox4;
    case Control::CheckBox5: return CheckBox5;
    case Control::Button1: return Button1;
    case Control::Button2: return Button2;
    case Control::Button3: return Button3;
    case Control::Memo4: return Memo4;
    case Control::Memo5: return Memo5;
  }
  return nullptr;
}

// ---- start-up and close

void TForm1::FormCreate() {
  setWindowTitle(QString::fromLatin1(orv::kCaption.data(), orv::kCaption.size()));
}

void TForm1::FormClose() { orv::ReleaseStores(world_); }

void TForm1::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The run still walks the records: it stops at its next pump, removes
    // its temporary files, and the window closes once it has returned.
    close_pending_ = true;
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

// ---- the switches

void TForm1::SwitchList(bool on, QPushButton* first, QPushButton* second, QPlainTextEdit* memo) {
  first->setEnabled(on);
  second->setEnabled(on);
  memo->setEnabled(on);
  memo->clear();
  SetBase(memo, on ? WindowColor() : MenuColor());
}

void TForm1::CheckBox1Click() { SwitchList(CheckBox1->isChecked(), BitBtn4, BitBtn5, Memo5); }

void TForm1::CheckBox2Click() { SwitchList(CheckBox2->isChecked(), BitBtn3, BitBtn2, Memo4); }

void TForm1::CheckBox4Click() {
  CheckBox3->setChecked(false);
  CheckBox3->setEnabled(CheckBox4->isChecked());
}

// ---- the lists

int TForm1::ShowBox(std::string_view text, std::string_view caption, int style) {
  // A box of a run stops it where it is: the gauge it shows stays drawn.
  ProgressBar1->PaintIfChanged();
  return services_.MessageBox(this, text, caption, style);
}

void TForm1::ShowError(std::string_view text) {
  ShowBox(text, orv::kApplicationTitle, orv::kMbOk | orv::kMbIconHand);
}

bool TForm1::AskFileName(orv::ui::FileDialog& dialog, bool save) {
  dialog.InitialDir = last_folder_;
  std::string chosen;
  const bool confirmed = save ? services_.SaveFileDialog(this, dialog, chosen)
                              : services_.OpenFileDialog(this, dialog, chosen);
  if (!confirmed) return false;
  dialog.FileName = chosen;
  last_folder_ = FolderOf(chosen);
  return true;
}

void TForm1::LoadList(orv::ui::FileDialog& dialog, QPlainTextEdit* memo) {
  if (!AskFileName(dialog, false)) return;
  try {
    orv::LineList lines;
    lines.LoadFromFile(dialog.FileName);
    SetMemoLines(*memo, lines);
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TForm1::SaveList(orv::ui::FileDialog& dialog, const QPlainTextEdit* memo) {
  if (!AskFileName(dialog, true)) return;
  try {
    MemoLines(*memo).SaveToFile(dialog.FileName);
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TForm1::BitBtn3Click() {
  if (running_) return;
  LoadList(OpenDialog2, Memo4);
}

// Usable during a run: it only reads the list box.
void TForm1::BitBtn2Click() { SaveList(SaveDialog1, Memo4); }

void TForm1::BitBtn5Click() {
  if (running_) return;
  LoadList(OpenDialog3, Memo5);
}

void TForm1::BitBtn4Click() {
  if (running_) return;
  SaveList(SaveDialog2, Memo5);
}

// ---- choosing the files

void TForm1::Button1Click() {
  if (running_) return;
  if (!AskFileName(OpenDialog1, false)) return;
  ChooseSource(OpenDialog1.FileName);
}

void TForm1::ChooseSource(const std::string& path) {
  OpenDialog1.FileName = path;
  Edit1->setText(QFile::decodeName(path.c_str()));
  // A new source: what the last run left in memory is of no more use.
  orv::ReleaseStores(world_);
  world_.SourceLines.Clear();
  ProgressBar1->SetProgress(0);
  if (!Edit2->text().isEmpty() && !Edit3->text().isEmpty()) BitBtn1->setEnabled(true);
}

std::string TForm1::DroppedSource(const QMimeData* data) const {
  // Only when "Browse..." could choose it: never under a running conversion.
  if (running_ || !Button1->isEnabled() || data == nullptr || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
  const QFileInfo file(urls.front().toLocalFile());
  // The extension as the source dialog's filter has it; world saves copied
  // from Windows may spell it in capitals.
  if (file.isDir() || file.suffix().compare(QLatin1String("scp"), Qt::CaseInsensitive) != 0)
    return {};
  return QFile::encodeName(file.absoluteFilePath()).toStdString();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedSource(event->mimeData()).empty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const std::string path = DroppedSource(event->mimeData());
  if (path.empty()) return;
  event->acceptProposedAction();
  last_folder_ = FolderOf(path);
  ChooseSource(path);
}

void TForm1::Button2Click() {
  if (running_) return;
  ChooseTarget(SaveDialog4, Edit2, Edit1, Edit3);
}

void TForm1::Button3Click() {
  if (running_) return;
  ChooseTarget(SaveDialog3, Edit3, Edit1, Edit2);
}

void TForm1::ChooseTarget(orv::ui::FileDialog& dialog, QLineEdit* box, QLineEdit* other1,
                          QLineEdit* other2) {
  if (!AskFileName(dialog, true)) return;
  const std::string chosen = dialog.FileName;
  box->setText(QFile::decodeName(chosen.c_str()));
  if (services_.FileExists(chosen)) {
    if (services_.IsReadOnly(chosen)) {
      MessageBox("File exists and is read only!", "Error", orv::kMbOk | orv::kMbIconHand);
      RefuseTarget(dialog, box);
      return;
    }
    if (MessageBox("File Exists, overwrite?", "Question",
                   orv::kMbOkCancel | orv::kMbIconQuestion) == orv::kIdCancel) {
      RefuseTarget(dialog, box);
      return;
    }
  }
  if (services_.FreeBytes(PathOf(box)) == 0) {
    MessageBox("This drive is either full or a ROM Drive!", "Error", orv::kMbOk | orv::kMbIconHand);
    RefuseTarget(dialog, box);
    return;
  }
  if (!other1->text().isEmpty() && !other2->text().isEmpty()) BitBtn1->setEnabled(true);
}

void TForm1::RefuseTarget(orv::ui::FileDialog& dialog, QLineEdit* box) {
  BitBtn1->setEnabled(false);
  dialog.FileName.clear();
  box->clear();
}

// ---- the run

void TForm1::BitBtn1Click() {
  if (running_) return;
  {
    FlagScope running(running_);
    HeldGaugePaints held(*ProgressBar1);
    last_status_ = orv::RunConversion(world_, *this).status;
  }
  if (close_pending_) {
    close_pending_ = false;
    close();
  }
}

bool TForm1::Checked(Switch s) {
  switch (s) {
    case Switch::kIllegalItems: return CheckBox1->isChecked();
    case Switch::kMoveChars: return CheckBox2->isChecked();
    case Switch::kShrinkPets: return CheckBox3->isChecked();
    case Switch::kDeleteNpcs: return CheckBox4->isChecked();
    case Switch::kDeleteRespawnPoints: return CheckBox5->isChecked();
    case Switch::kTurnOffPc: return CheckBox6->isChecked();
  }
  return false;
}

orv::LineList TForm1::PositionList() { return MemoLines(*Memo4); }

orv::LineList TForm1::IllegalList() { return MemoLines(*Memo5); }

int TForm1::Position() { return TrackBar1->value(); }

std::string TForm1::Caption() { return windowTitle().toLatin1().toStdString(); }

void TForm1::SetStatus(std::string_view text) {
  StatusBar1->SetPanelText(0,
                           QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  // Drawn at once, with the gauge as it stands: loading and saving the
  // files serve no events, and the text tells the user what to wait for.
  StatusBar1->repaint(StatusBar1->PanelRect(0));
  ProgressBar1->PaintIfChanged();
  BackFromQt();
}

void TForm1::SetProgress(int value) { ProgressBar1->SetProgress(value); }

void TForm1::ProcessMessages() {
  if (pump_observer_) pump_observer_();
  // Serving the event queue costs about 10 us even when it is empty, and a
  // run pumps tens of thousands of times. A pump within a millisecond of the
  // last one passes: what arrived meanwhile waits a millisecond at most.
  const auto now = std::chrono::steady_clock::now();
  if (now - last_events_ < std::chrono::milliseconds(1)) return;
  last_events_ = now;
  QCoreApplication::processEvents();
  BackFromQt();
}

void TForm1::Refresh() {
  // Every paint that reaches the screen costs about a millisecond (more
  // when the display server must first get a core), and a run pumps tens of
  // thousands of times. The paints the window schedules itself are served by
  // the pump; what waits here is the gauge, which a run holds back: drawn at
  // most 25 times a second, it moves as smoothly as the eye can follow.
  const auto now = std::chrono::steady_clock::now();
  if (now - last_repaint_ < std::chrono::milliseconds(40)) return;
  last_repaint_ = now;
  ProgressBar1->PaintIfChanged();
  BackFromQt();
}

void TForm1::SetEnabled(Control c, bool enabled) {
  if (QWidget* w = ControlWidget(c)) w->setEnabled(enabled);
}

int TForm1::MessageBox(std::string_view text, std::string_view caption, int style) {
  return ShowBox(text, caption, style);
}

bool TForm1::FileExists(const std::string& path) { return services_.FileExists(path); }

void TForm1::ShutDownPC() {
  // A step that failed before the request could be made has its error box;
  // a refusal by the system (the user may not power off) goes unreported.
  const orv::platform::PowerOffResult result = services_.PowerOff();
  if (result.outcome == orv::platform::PowerOffResult::Outcome::kUnreachable)
    ShowBox(result.message, result.caption, orv::kMbOk | orv::kMbIconHand);
}

void TForm1::ReportError(std::string_view message) {
  ShowBox(message, "Error", orv::kMbOk | orv::kMbIconHand);
  // The box told the error; the window is ready for the next run.
  SetStatus("ready");
}
