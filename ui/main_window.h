// The program's one window: every control of the form, placed at its design geometry (designed
// at 120 dpi and scaled by logical DPI / 120), skinned, and bound both ways to its form control.
//
// User input goes to the control's setter (which runs the handler); a control's state change
// comes back through Control::onStateChanged and updates the widget with its signals blocked, so
// nothing echoes. After every user action all widgets are re-read from the form, so a widget never
// keeps a state that a handler refused or reverted. The window replaces each control's
// onStateChanged while it lives and restores the previous one when destroyed. UI thread only.
#pragma once

#include <QIcon>
#include <QImage>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "form/main_form.h"

namespace ui {

// The program's icon in every size compiled in: the window's and the taskbar's.
QIcon programIcon();

class EmeraldStyle;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // scale <= 0 takes the primary screen's logical DPI / 120.
    explicit MainWindow(form::MainForm& form, double scale = 0.0, QWidget* parent = nullptr);
    ~MainWindow() override;

    static double screenScale();
    double scale() const { return m_scale; }

    // The widget bound to the form control of that name (its objectName), or nullptr.
    QWidget* widgetFor(const std::string& name) const;

    // Every close request (title bar, Alt+F4, close() from code) runs this first; the close is
    // then always accepted.
    std::function<void()> onCloseRequest;
    // Runs when the window has just become minimised, from inside the state-change event.
    std::function<void()> onMinimize;

    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int px(double v) const;
    QRect box(int x, int y, int w, int h) const;

    // The background picture as drawn on a device of that pixel ratio; kept until it changes.
    const QImage& background(qreal devicePixelRatio);

    void buildControls();
    void setTabOrder(const std::vector<const char*>& names);
    // Common wiring: name, geometry, skin, and the model-to-widget sync for this control.
    void bind(QWidget* w, form::Control& control, const QRect& geometry,
              std::function<void()> sync);
    // Re-reads every widget from its control.
    void syncAll();
    // Runs a user action on the form, then re-reads the widgets (unless a handler closed and
    // destroyed the window meanwhile).
    void userAction(const std::function<void()>& action);

    void addCheckBox(form::CheckBox& c, const QRect& g);
    void addSlider(form::TrackBar& t, const QRect& g);
    QWidget* addPanel(form::Label& panel, const QRect& g);
    void addRadio(form::RadioButton& r, QWidget* panel, const QRect& g);
    void addCombo(form::ComboBox& c, const QRect& g, int itemHeight);
    void addButton(form::Button& b, const QRect& g);
    void addLabel(form::Label& l, const QRect& g);

    struct Binding {
        form::Control* control;
        std::function<void()> previousHook;
        std::function<void()> sync;
    };

    form::MainForm& m_form;
    double m_scale;
    EmeraldStyle* m_style;
    QImage m_background;  // as last drawn
    std::map<std::string, QWidget*> m_widgets;
    std::vector<Binding> m_bindings;
    bool m_placed = false;
};

}  // namespace ui
