#include "platform/uikit/Button.hpp"

namespace ui {

namespace {
template <class Map, class Value> void setOrErase(Map& map, ControlState state, std::optional<Value> value) {
    if (value) {
        map[state] = std::move(*value);
    } else {
        map.erase(state);
    }
}

template <class Map>
auto lookup(const Map& map, ControlState state) -> std::optional<typename Map::mapped_type> {
    if (auto it = map.find(state); it != map.end()) return it->second;
    if (auto it = map.find(ControlState::normal); it != map.end()) return it->second;
    return std::nullopt;
}
} // namespace

Button::Button(std::string title) {
    titles_[ControlState::normal] = std::move(title);
}

void Button::setTitle(std::optional<std::string> title, ControlState state) {
    setOrErase(titles_, state, std::move(title));
}

std::optional<std::string> Button::title(ControlState state) const {
    return lookup(titles_, state);
}

void Button::setTitleColor(std::optional<Color> color, ControlState state) {
    setOrErase(titleColors_, state, color);
}

std::optional<Color> Button::titleColor(ControlState state) const {
    return lookup(titleColors_, state);
}

void Button::setImage(std::optional<std::string> imageName, ControlState state) {
    setOrErase(images_, state, std::move(imageName));
}

std::optional<std::string> Button::image(ControlState state) const {
    return lookup(images_, state);
}

void Button::addAction(std::function<void(Button&)> action) {
    if (!action) return;
    addTarget([action = std::move(action)](Control& sender) { action(static_cast<Button&>(sender)); },
              ControlEvent::touchUpInside);
}

bool Button::tap() {
    if (!acceptsUserInput()) return false;
    sendActions();
    return true;
}

} // namespace ui
