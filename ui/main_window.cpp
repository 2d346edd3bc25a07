#include "ui/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <cmath>

#include "ui/emerald_style.h"
#include "ui/fonts.h"

namespace ui {
namespace {

// The lists are drawn at a fixed item height, whatever the font asks for.
class FixedHeightDelegate : public QStyledItemDelegate {
public:
    FixedHeightDelegate(int height, QObject* parent)
        : QStyledItemDelegate(parent), m_height(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), m_height);
    }

private:
    int m_height;
};

QString qs(const std::string& s) { return QString::fromStdString(s); }

void applyCommon(QWidget* w, const form::Control& c) {
    w->setEnabled(c.enabled());
    if (w->isHidden() == c.visible()) w->setHidden(!c.visible());
}

}  // namespace

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 20, 24, 32, 40, 48, 64})
        icon.addFile(QStringLiteral(":/ombrelin/icon_%1.png").arg(size), QSize(size, size));
    return icon;
}

double MainWindow::screenScale() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() / 120.0 : 1.0;
}

MainWindow::MainWindow(form::MainForm& form, double scale, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_form(form),
      m_scale(scale > 0 ? scale : screenScale()),
      m_style(new EmeraldStyle(m_scale)) {
    m_style->setParent(this);
    setObjectName(QStringLiteral("Form_Ombrelin"));
    setWindowTitle(QStringLiteral("Ombrelin"));
    setWindowIcon(programIcon());
    setStyle(m_style);
    setPalette(EmeraldStyle::emeraldPalette());
    setFont(windowFont(px(14)));
    setFixedSize(px(522), px(405));
    buildControls();
    syncAll();
}

MainWindow::~MainWindow() {
    for (Binding& b : m_bindings) b.control->onStateChanged = std::move(b.previousHook);
}

int MainWindow::px(double v) const { return int(std::lround(v * m_scale)); }

QRect MainWindow::box(int x, int y, int w, int h) const {
    return QRect(px(x), px(y), px(w), px(h));
}

QWidget* MainWindow::widgetFor(const std::string& name) const {
    auto it = m_widgets.find(name);
    return it == m_widgets.end() ? nullptr : it->second;
}

void MainWindow::bind(QWidget* w, form::Control& control, const QRect& geometry,
                      std::function<void()> sync) {
    w->setObjectName(qs(control.name()));
    w->setGeometry(geometry);
    w->setStyle(m_style);
    m_widgets[control.name()] = w;
    Binding b{&control, control.onStateChanged, sync};
    control.onStateChanged = [prev = b.previousHook, sync] {
        sync();
        if (prev) prev();
    };
    m_bindings.push_back(std::move(b));
}

void MainWindow::syncAll() {
    for (Binding& b : m_bindings) b.sync();
}

void MainWindow::userAction(const std::function<void()>& action) {
    QPointer<MainWindow> self(this);
    action();
    if (self) syncAll();
}

void MainWindow::addCheckBox(form::CheckBox& c, const QRect& g) {
    auto* w = new QCheckBox(qs(c.caption()), this);
    w->setFocusPolicy(Qt::StrongFocus);
    bind(w, c, g, [w, &c] {
        QSignalBlocker block(w);
        w->setChecked(c.checked());
        applyCommon(w, c);
    });
    // Qt has already flipped the box; the form takes the new state and runs the handler.
    connect(w, &QCheckBox::clicked, this,
            [this, &c](bool on) { userAction([&c, on] { c.setChecked(on); }); });
}

void MainWindow::addSlider(form::TrackBar& t, const QRect& g) {
    auto* w = new QSlider(Qt::Horizontal, this);
    w->setFocusPolicy(Qt::StrongFocus);
    w->setSingleStep(1);
    w->setPageStep(2);
    w->setTickPosition(QSlider::NoTicks);
    w->setProperty("thumbLength", px(t.thumbLength()));
    bind(w, t, g, [w, &t] {
        QSignalBlocker block(w);
        w->setRange(t.min(), t.max());
        w->setValue(t.position());
        applyCommon(w, t);
    });
    connect(w, &QSlider::valueChanged, this,
            [this, &t](int v) { userAction([&t, v] { t.setPosition(v); }); });
}

QWidget* MainWindow::addPanel(form::Label& panel, const QRect& g) {
    auto* w = new QWidget(this);
    w->setFocusPolicy(Qt::NoFocus);
    bind(w, panel, g, [w, &panel] { applyCommon(w, panel); });
    return w;
}

void MainWindow::addRadio(form::RadioButton& r, QWidget* panel, const QRect& g) {
    auto* w = new QRadioButton(qs(r.caption()), panel);
    bind(w, r, g, [w, &r, panel] {
        // Exclusivity is the form's business: let the widget take any state the form has,
        // including "none selected", without Qt unchecking the partner behind our back.
        QSignalBlocker block(w);
        w->setAutoExclusive(false);
        w->setChecked(r.checked());
        w->setAutoExclusive(true);
        applyCommon(w, r);
        // Only the selected radio of a pair is a Tab stop (the first one while neither is
        // selected, so the keyboard can still reach the pair); a click still focuses either.
        const auto pair = panel->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
        for (QRadioButton* b : pair) {
            const bool anyChecked = std::any_of(pair.begin(), pair.end(),
                                                [](QRadioButton* x) { return x->isChecked(); });
            const bool stop = anyChecked ? b->isChecked() : b == pair.front();
            b->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
        }
    });
    connect(w, &QRadioButton::toggled, this, [this, &r](bool on) {
        if (on) userAction([&r] { r.setChecked(true); });
    });
}

void MainWindow::addCombo(form::ComboBox& c, const QRect& g, int itemHeight) {
    auto* w = new QComboBox(this);
    w->setEditable(false);
    w->setFocusPolicy(Qt::StrongFocus);
    w->setItemDelegate(new FixedHeightDelegate(px(itemHeight), w));
    if (!c.hint().empty()) w->setToolTip(qs(c.hint()));
    bind(w, c, g, [w, &c] {
        QSignalBlocker block(w);
        bool same = w->count() == int(c.items().size());
        for (int i = 0; same && i < w->count(); ++i) same = w->itemText(i) == qs(c.items()[i]);
        if (!same) {
            w->clear();
            for (const std::string& item : c.items()) w->addItem(qs(item));
        }
        w->setCurrentIndex(c.itemIndex());
        applyCommon(w, c);
    });
    // activated: the user's picks only, including picking the current item again.
    connect(w, &QComboBox::activated, this,
            [this, &c](int i) { userAction([&c, i] { c.pick(i); }); });
}

void MainWindow::addButton(form::Button& b, const QRect& g) {
    auto* w = new QPushButton(qs(b.caption()), this);
    w->setFocusPolicy(Qt::StrongFocus);
    w->setAutoDefault(false);
    bind(w, b, g, [w, &b] {
        w->setText(qs(b.caption()));
        applyCommon(w, b);
    });
    connect(w, &QPushButton::clicked, this, [this, &b] { userAction([&b] { b.click(); }); });
}

void MainWindow::addLabel(form::Label& l, const QRect& g) {
    auto* w = new QLabel(qs(l.caption()), this);
    w->setFocusPolicy(Qt::NoFocus);
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    bind(w, l, g, [w, &l] { applyCommon(w, l); });
}

void MainWindow::buildControls() {
    form::MainForm& f = m_form;
    addSlider(f.TrackBar1, box(140, 25, 118, 19));
    addCheckBox(f.chk1, box(13, 25, 75, 19));
    addCheckBox(f.chk2, box(13, 65, 124, 20));
    addSlider(f.trckbr1, box(140, 65, 118, 20));
    addCheckBox(f.chk5, box(13, 103, 124, 20));
    addSlider(f.trckbr6, box(140, 103, 118, 20));
    addCheckBox(f.chk6, box(13, 225, 85, 20));
    addSlider(f.trckbr7, box(140, 225, 118, 20));
    addCheckBox(f.chk7, box(13, 261, 85, 21));
    addSlider(f.trckbr9, box(140, 261, 118, 21));
    addCheckBox(f.chk8, box(269, 261, 85, 22));

    // Radio pairs: each panel is the radios' parent, so Qt keeps them an exclusive pair and
    // lets only the selected one take the focus by Tab.
    QWidget* pnl1 = addPanel(f.pnl1, box(268, 24, 180, 24));
    addRadio(f.rb1, pnl1, box(7, 1, 83, 23));
    addRadio(f.rb2, pnl1, box(90, 1, 83, 23));
    QWidget* pnl2 = addPanel(f.pnl2, box(268, 63, 180, 25));
    addRadio(f.rb3, pnl2, box(7, 1, 85, 23));
    addRadio(f.rb4, pnl2, box(90, 1, 85, 23));
    QWidget* pnl3 = addPanel(f.pnl3, box(268, 105, 180, 24));
    addRadio(f.rb5, pnl3, box(7, 1, 66, 23));
    addRadio(f.rb6, pnl3, box(92, 1, 71, 23));

    addCheckBox(f.chk9, box(13, 184, 100, 21));
    addSlider(f.trckbr10, box(140, 184, 118, 21));
    addCombo(f.cbb1, box(265, 186, 144, 23), 17);
    addCombo(f.cbb2, box(265, 225, 144, 23), 17);
    addCombo(f.cbb3, box(365, 261, 135, 23), 17);
    QWidget* pnl4 = addPanel(f.pnl4, box(145, 301, 210, 25));
    addRadio(f.rb7, pnl4, box(7, 1, 85, 23));
    addRadio(f.rb8, pnl4, box(90, 1, 104, 23));
    addCombo(f.cbb4, box(392, 301, 110, 23), 17);
    addButton(f.btn1, box(13, 300, 124, 30));
    addCheckBox(f.chk10, box(370, 351, 130, 23));
    addSlider(f.strckbr11, box(177, 346, 180, 33));
    addCombo(f.cbb5, box(55, 137, 200, 22), 16);
    addCombo(f.cbb6, box(290, 137, 200, 22), 16);
    widgetFor("cbb6")->setFont(windowFont(px(15)));

    // Buttons that only carry code-invoked operations. btn4 sits beyond the right edge, out of
    // sight but still the last Tab stop, so the keyboard can reach it.
    addButton(f.btn2, box(0, 0, 75, 25));
    addButton(f.btn3, box(0, 0, 75, 25));
    addButton(f.btn4, box(568, 120, 65, 41));

    addLabel(f.Label3, box(165, 4, 69, 17));
    addLabel(f.lbl1, box(13, 140, 32, 17));
    addLabel(f.lbl5, box(270, 140, 8, 17));
    addLabel(f.Label1, box(13, 351, 156, 17));

    setTabOrder({"TrackBar1", "chk1",      "chk2",    "trckbr1", "chk5",     "trckbr6", "chk6",
                 "trckbr7",   "chk7",      "trckbr9", "chk8",    "rb1",      "rb2",     "rb3",
                 "rb4",       "rb5",       "rb6",     "chk9",    "trckbr10", "cbb1",    "cbb2",
                 "cbb3",      "rb7",       "rb8",     "cbb4",    "btn1",     "btn2",    "btn3",
                 "chk10",     "strckbr11", "cbb5",    "cbb6",    "btn4"});
}

void MainWindow::setTabOrder(const std::vector<const char*>& names) {
    for (size_t i = 1; i < names.size(); ++i)
        QWidget::setTabOrder(widgetFor(names[i - 1]), widgetFor(names[i]));
}

void MainWindow::setVisible(bool visible) {
    if (visible && !m_placed) {
        // Centred on the desktop the first time it is shown; later it stays where the user
        // left it.
        m_placed = true;
        if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
            const QRect area = s->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
    QWidget::setVisible(visible);
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    // The photograph at its design size from the top-left corner, clipped to the window, showing
    // faintly (20 %) through the window's ground.
    p.setOpacity(0.2);
    p.drawImage(0, 0, background(p.device()->devicePixelRatioF()));
}

const QImage& MainWindow::background(qreal devicePixelRatio) {
    // 800 x 600 design pixels, in device pixels. The design-size photograph is drawn as it is;
    // at any other size the picture is resampled from the nearest source at least that large
    // (the 2x one at 200 %), so it stays sharp and covers the window at every scale.
    const QSize size(int(std::lround(800 * m_scale * devicePixelRatio)),
                     int(std::lround(600 * m_scale * devicePixelRatio)));
    if (m_background.size() != size || m_background.devicePixelRatio() != devicePixelRatio) {
        const QImage source(size.width() <= 800 && size.height() <= 600
                                ? QStringLiteral(":/ombrelin/leaf.jpg")
                                : QStringLiteral(":/ombrelin/leaf@2x.jpg"));
        m_background = source.size() == size
                           ? source
                           : source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_background.setDevicePixelRatio(devicePixelRatio);
    }
    return m_background;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (onCloseRequest) onCloseRequest();
    event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if ((windowState() & Qt::WindowMinimized) && !(change->oldState() & Qt::WindowMinimized) &&
            onMinimize)
            onMinimize();
    }
    QWidget::changeEvent(event);
}

}  // namespace ui
