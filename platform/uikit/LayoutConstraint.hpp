#pragma once
// A layout constraint: the model keeps only its constant (a distance or a width in points), which the
// screens set and the terminal reads. Setting the constant inside ui::animate is recorded as property
// "constant". Main thread only.
#include "platform/uikit/Animatable.hpp"

#include <string>

namespace ui {

class LayoutConstraint : public Animatable {
  public:
    LayoutConstraint() = default;
    explicit LayoutConstraint(double constant, std::string identifier = {})
        : constant_(constant), identifier_(std::move(identifier)) {}

    double constant() const { return constant_; }
    void setConstant(double constant);

    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
    bool isActive() const { return active_; }
    void setActive(bool active) { active_ = active; }

  private:
    double constant_ = 0;
    std::string identifier_;
    bool active_ = true;
};

} // namespace ui
