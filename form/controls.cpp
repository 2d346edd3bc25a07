#include "form/controls.h"

#include <algorithm>

namespace form {

void Control::setEnabled(bool on) {
    if (m_enabled == on) return;
    m_enabled = on;
    notify();
}

void Control::setVisible(bool on) {
    if (m_visible == on) return;
    m_visible = on;
    notify();
}

void CheckBox::setChecked(bool on) {
    if (m_checked == on) return;
    m_checked = on;
    notify();
    if (onClick) onClick();
}

void RadioButton::setChecked(bool on) {
    if (m_checked == on) return;
    if (!on) {
        m_checked = false;
        notify();
        return;
    }
    for (RadioButton* other : m_siblings) {
        if (other->m_checked) {
            other->m_checked = false;
            other->notify();
        }
    }
    m_checked = true;
    notify();
    if (onClick) onClick();
}

void RadioButton::group(std::vector<RadioButton*> radios) {
    for (RadioButton* r : radios) {
        r->m_siblings.clear();
        for (RadioButton* other : radios)
            if (other != r) r->m_siblings.push_back(other);
    }
}

void TrackBar::setMin(int v) {
    m_min = v;
    if (m_max < m_min) m_max = m_min;
    if (m_position < m_min) setPosition(m_min);
    notify();
}

void TrackBar::setMax(int v) {
    m_max = v;
    if (m_min > m_max) m_min = m_max;
    if (m_position > m_max) setPosition(m_max);
    notify();
}

void TrackBar::setPosition(int p) {
    p = std::clamp(p, m_min, m_max);
    if (p == m_position) return;
    m_position = p;
    notify();
    if (onChange) onChange();
}

void ComboBox::setItemIndex(int i) {
    if (i < 0 || i >= static_cast<int>(m_items.size())) i = -1;
    if (i == m_itemIndex) return;
    m_itemIndex = i;
    notify();
}

void ComboBox::clear() {
    m_items.clear();
    m_itemIndex = -1;
    notify();
}

void ComboBox::addItem(std::string text) {
    m_items.push_back(std::move(text));
    notify();
}

void ComboBox::pick(int i) {
    setItemIndex(i);
    if (onPick) onPick();
}

void Button::setCaption(const std::string& text) {
    if (m_caption == text) return;
    m_caption = text;
    notify();
}

}  // namespace form
