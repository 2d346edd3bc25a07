#include "app/now_playing.h"

#include "engine/rain.h"

namespace {

const char* const kSilence = "Тишина";

// "12-Соловей" -> "Соловей": the lists number the species, a title names the bird.
std::string speciesName(const form::ComboBox& list) {
    const int index = list.itemIndex();
    if (index < 0 || index >= static_cast<int>(list.items().size())) return {};
    const std::string& item = list.items()[index];
    const size_t dash = item.find('-');
    return dash == std::string::npos ? item : item.substr(dash + 1);
}

void append(std::string& text, const std::string& separator, const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += separator;
    text += part;
}

}  // namespace

std::string nowPlayingTitle(const form::MainForm& f) {
    // A rain episode fades the songbirds out and keeps them silent until it has passed.
    const bool raining = f.btn1.caption() != engine::kRainCaptionIdle;
    std::string title;
    if (f.chk5.checked() && !raining) {
        append(title, "", speciesName(f.cbb5));
        if (f.rb6.checked()) append(title, " " + f.lbl5.caption() + " ", speciesName(f.cbb6));
        if (!title.empty()) return title;
    }
    for (const form::CheckBox* layer : {&f.chk1, &f.chk2, &f.chk9, &f.chk6})
        if (layer->checked()) append(title, ", ", layer->caption());
    if (raining)
        append(title, ", ",
               f.chk8.checked() ? f.chk7.caption() + " " + f.chk8.caption() : f.chk7.caption());
    return title.empty() ? kSilence : title;
}

NowPlaying::NowPlaying(form::MainForm& form)
    : m_form(form), m_playing(form.chk10.checked()), m_title(nowPlayingTitle(form)) {
    for (form::Control* control : std::initializer_list<form::Control*>{
             &form.chk10, &form.chk1, &form.chk2, &form.chk5, &form.chk9, &form.chk6, &form.chk7,
             &form.chk8, &form.rb6, &form.cbb5, &form.cbb6, &form.btn1})
        watch(*control);
}

NowPlaying::~NowPlaying() {
    for (auto it = m_hooks.rbegin(); it != m_hooks.rend(); ++it)
        it->control->onStateChanged = std::move(it->previous);
}

void NowPlaying::watch(form::Control& control) {
    m_hooks.push_back({&control, control.onStateChanged});
    control.onStateChanged = [this, previous = control.onStateChanged] {
        if (previous) previous();
        refresh();
    };
}

void NowPlaying::refresh() {
    const bool playing = m_form.chk10.checked();
    std::string title = nowPlayingTitle(m_form);
    if (playing == m_playing && title == m_title) return;
    m_playing = playing;
    m_title = std::move(title);
    if (onChanged) onChanged();
}

void NowPlaying::playPause() { m_form.chk10.toggle(); }
void NowPlaying::play() { m_form.chk10.setChecked(true); }
void NowPlaying::pause() { m_form.chk10.setChecked(false); }
