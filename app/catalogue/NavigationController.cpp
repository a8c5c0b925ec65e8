#include "app/catalogue/NavigationController.hpp"

void NavigationController::viewDidLoad() {
    ui::NavigationController::viewDidLoad();
    navigationBar().barStyle = ui::BarStyle::black;
    navigationBar().tintColor = ui::Color::white();
}
