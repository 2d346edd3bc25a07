// The window's controls as plain C++ state with the event rules of real widgets.
//
// The engine, the settings loader and the tray all act on these objects; the Qt view only
// mirrors them. A change made by code and a change made by the user go through the same
// setter, so both run the control's handler, and only when the value really changes.
// Handlers run synchronously and may re-enter (a handler that changes another control runs
// that control's handler at once, nested). Everything here is used from the UI thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace form {

class Control {
public:
    explicit Control(std::string name) : m_name(std::move(name)) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return m_name; }
    bool enabled() const { return m_enabled; }
    void setEnabled(bool on);
    bool visible() const { return m_visible; }
    void setVisible(bool on);

    // Called after any state change so that a bound view can refresh itself.
    std::function<void()> onStateChanged;

protected:
    void notify() {
        if (onStateChanged) onStateChanged();
    }

private:
    std::string m_name;
    bool m_enabled = true;
    bool m_visible = true;
};

// A control with a fixed text: labels, panels.
class Label : public Control {
public:
    Label(std::string name, std::string caption)
        : Control(std::move(name)), m_caption(std::move(caption)) {}
    const std::string& caption() const { return m_caption; }

private:
    std::string m_caption;
};

class CheckBox : public Control {
public:
    CheckBox(std::string name, std::string caption, bool checked = false)
        : Control(std::move(name)), m_caption(std::move(caption)), m_checked(checked) {}
    const std::string& caption() const { return m_caption; }
    bool checked() const { return m_checked; }
    // Runs onClick when the state changes; assigning the present state runs nothing.
    void setChecked(bool on);
    // The user's click: the opposite state.
    void toggle() { setChecked(!m_checked); }

    std::function<void()> onClick;

private:
    std::string m_caption;
    bool m_checked;
};

class RadioButton : public Control {
public:
    RadioButton(std::string name, std::string caption, bool checked = false)
        : Control(std::move(name)), m_caption(std::move(caption)), m_checked(checked) {}
    const std::string& caption() const { return m_caption; }
    bool checked() const { return m_checked; }
    // Selecting deselects the siblings silently and runs onClick only if this radio was not
    // selected before. Deselecting runs nothing.
    void setChecked(bool on);

    // Makes the given radios one exclusive group (a panel's radios).
    static void group(std::vector<RadioButton*> radios);

    std::function<void()> onClick;

private:
    std::string m_caption;
    bool m_checked;
    std::vector<RadioButton*> m_siblings;
};

class TrackBar : public Control {
public:
    TrackBar(std::string name, int position, int thumbLength)
        : Control(std::move(name)), m_position(position), m_thumbLength(thumbLength) {}
    int min() const { return m_min; }
    int max() const { return m_max; }
    int position() const { return m_position; }
    int thumbLength() const { return m_thumbLength; }
    // Moving a bound past the position pulls the position along, which counts as a change.
    void setMin(int v);
    void setMax(int v);
    // Clamped to min..max; runs onChange when the position changes.
    void setPosition(int p);

    std::function<void()> onChange;

private:
    int m_min = 0;
    int m_max = 10;
    int m_position;
    int m_thumbLength;
};

// A fixed drop-down list. Assigning the selected index from code runs nothing; only a user's
// pick (pick()) runs onPick, also when the same item is picked again.
class ComboBox : public Control {
public:
    ComboBox(std::string name, std::vector<std::string> items, int itemIndex, std::string hint)
        : Control(std::move(name)),
          m_items(std::move(items)),
          m_itemIndex(itemIndex),
          m_hint(std::move(hint)) {}
    const std::vector<std::string>& items() const { return m_items; }
    int itemIndex() const { return m_itemIndex; }
    const std::string& hint() const { return m_hint; }
    // An index outside the list leaves no item selected (-1).
    void setItemIndex(int i);
    void clear();
    void addItem(std::string text);
    void pick(int i);

    std::function<void()> onPick;

private:
    std::vector<std::string> m_items;
    int m_itemIndex;
    std::string m_hint;
};

class Button : public Control {
public:
    Button(std::string name, std::string caption)
        : Control(std::move(name)), m_caption(std::move(caption)) {}
    const std::string& caption() const { return m_caption; }
    void setCaption(const std::string& text);
    // A press: the view calls it only while the button is enabled; code may call it any time.
    void click() {
        if (onClick) onClick();
    }

    std::function<void()> onClick;

private:
    std::string m_caption;
};

}  // namespace form
