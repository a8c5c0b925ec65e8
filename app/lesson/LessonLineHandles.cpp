// The numbered handle families as tables, so code can walk the lines while every handle keeps its own
// name.
#include "app/lesson/LessonViewController.hpp"

namespace {

using L = LessonViewController;

constexpr std::array<ui::View * L::*, Lesson::kMaxLines> kViews = {
    &L::line1View, &L::line2View, &L::line3View, &L::line4View, &L::line5View,
    &L::line6View, &L::line7View, &L::line8View, &L::line9View, &L::line10View};
constexpr std::array<ui::View * L::*, Lesson::kMaxLines> kNumberViews = {
    &L::line1NumberView, &L::line2NumberView, &L::line3NumberView, &L::line4NumberView, &L::line5NumberView,
    &L::line6NumberView, &L::line7NumberView, &L::line8NumberView, &L::line9NumberView, &L::line10NumberView};
constexpr std::array<ui::Label * L::*, Lesson::kMaxLines> kNumberLabels = {
    &L::line1NumberLabel, &L::line2NumberLabel, &L::line3NumberLabel, &L::line4NumberLabel,
    &L::line5NumberLabel, &L::line6NumberLabel, &L::line7NumberLabel, &L::line8NumberLabel,
    &L::line9NumberLabel, &L::line10NumberLabel};
constexpr std::array<ui::Label * L::*, Lesson::kMaxLines> kText1Labels = {
    &L::line1Text1Label, &L::line2Text1Label, &L::line3Text1Label, &L::line4Text1Label, &L::line5Text1Label,
    &L::line6Text1Label, &L::line7Text1Label, &L::line8Text1Label, &L::line9Text1Label, &L::line10Text1Label};
constexpr std::array<ui::TextField * L::*, Lesson::kMaxLines> kTextFields = {
    &L::line1TextField, &L::line2TextField, &L::line3TextField, &L::line4TextField, &L::line5TextField,
    &L::line6TextField, &L::line7TextField, &L::line8TextField, &L::line9TextField, &L::line10TextField};
constexpr std::array<ui::Label * L::*, Lesson::kMaxLines> kText2Labels = {
    &L::line1Text2Label, &L::line2Text2Label, &L::line3Text2Label, &L::line4Text2Label, &L::line5Text2Label,
    &L::line6Text2Label, &L::line7Text2Label, &L::line8Text2Label, &L::line9Text2Label, &L::line10Text2Label};
constexpr std::array<ui::Button * L::*, Lesson::kMaxLines> kCheckmarkButtons = {
    &L::line1CheckmarkButton, &L::line2CheckmarkButton, &L::line3CheckmarkButton, &L::line4CheckmarkButton,
    &L::line5CheckmarkButton, &L::line6CheckmarkButton, &L::line7CheckmarkButton, &L::line8CheckmarkButton,
    &L::line9CheckmarkButton, &L::line10CheckmarkButton};
constexpr std::array<ui::Button * L::*, Lesson::kMaxLines> kErrorButtons = {
    &L::line1ErrorButton, &L::line2ErrorButton, &L::line3ErrorButton, &L::line4ErrorButton,
    &L::line5ErrorButton, &L::line6ErrorButton, &L::line7ErrorButton, &L::line8ErrorButton,
    &L::line9ErrorButton, &L::line10ErrorButton};
constexpr std::array<ui::LayoutConstraint * L::*, Lesson::kMaxLines> kTextFieldLeadingConstraints = {
    &L::line1TextFieldLeadingConstraint, &L::line2TextFieldLeadingConstraint,
    &L::line3TextFieldLeadingConstraint, &L::line4TextFieldLeadingConstraint,
    &L::line5TextFieldLeadingConstraint, &L::line6TextFieldLeadingConstraint,
    &L::line7TextFieldLeadingConstraint, &L::line8TextFieldLeadingConstraint,
    &L::line9TextFieldLeadingConstraint, &L::line10TextFieldLeadingConstraint};
constexpr std::array<ui::LayoutConstraint * L::*, Lesson::kMaxLines> kTextFieldWIdthConstraints = {
    &L::textField1WIdthConstraint, &L::textField2WIdthConstraint, &L::textField3WIdthConstraint,
    &L::textField4WIdthConstraint, &L::textField5WIdthConstraint, &L::textField6WIdthConstraint,
    &L::textField7WIdthConstraint, &L::textField8WIdthConstraint, &L::textField9WIdthConstraint,
    &L::textField10WIdthConstraint};

} // namespace

LessonViewController::LineHandles LessonViewController::lineHandles(int k) const {
    LineHandles h;
    if (k < 1 || k > Lesson::kMaxLines) return h;
    const auto i = static_cast<std::size_t>(k - 1);
    h.view = this->*kViews[i];
    h.numberView = this->*kNumberViews[i];
    h.numberLabel = this->*kNumberLabels[i];
    h.text1Label = this->*kText1Labels[i];
    h.textField = this->*kTextFields[i];
    h.text2Label = this->*kText2Labels[i];
    h.checkmarkButton = this->*kCheckmarkButtons[i];
    h.errorButton = this->*kErrorButtons[i];
    h.textFieldLeadingConstraint = this->*kTextFieldLeadingConstraints[i];
    h.textFieldWIdthConstraint = this->*kTextFieldWIdthConstraints[i];
    return h;
}

void LessonViewController::connectLine(int k, const LineHandles& h) {
    if (k < 1 || k > Lesson::kMaxLines) return;
    const auto i = static_cast<std::size_t>(k - 1);
    this->*kViews[i] = h.view;
    this->*kNumberViews[i] = h.numberView;
    this->*kNumberLabels[i] = h.numberLabel;
    this->*kText1Labels[i] = h.text1Label;
    this->*kTextFields[i] = h.textField;
    this->*kText2Labels[i] = h.text2Label;
    this->*kCheckmarkButtons[i] = h.checkmarkButton;
    this->*kErrorButtons[i] = h.errorButton;
    this->*kTextFieldLeadingConstraints[i] = h.textFieldLeadingConstraint;
    this->*kTextFieldWIdthConstraints[i] = h.textFieldWIdthConstraint;
}
