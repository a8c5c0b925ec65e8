#pragma once
// A view showing a named image (the terminal draws the name or a stand-in glyph). Main thread only.
#include "platform/uikit/View.hpp"

#include <optional>
#include <string>

namespace ui {

class ImageView : public View {
  public:
    ImageView() = default;
    explicit ImageView(std::string imageName) : imageName_(std::move(imageName)) {}

    const std::optional<std::string>& imageName() const { return imageName_; }
    void setImageName(std::optional<std::string> name) { imageName_ = std::move(name); }

  private:
    std::optional<std::string> imageName_;
};

} // namespace ui
