#pragma once
// The lesson screen: shows one lesson of a chapter (instruction, up to ten code lines, one answer field
// inside one of them), checks the typed answer on every keystroke, runs the lesson's fixed output,
// offers hints, the help bar and tutorial videos, lifts itself above the keyboard, and walks the chapter
// with Next.
//
// Inputs (`lesson`, `chapter`, `lessons`, `progressReport`) are set by the presenting screen before the
// view loads. Views come from the screen's layout (LessonLayout.cpp), which the root view owns; the
// handles below are non-owning pointers into it, connected when the view loads.
//
// Failure contract: nothing here throws. The layout connects every handle. Without a lesson the
// screen's operations do nothing; without a record nothing is recorded and settings read as off;
// without a lesson count the title reads "n/0"; an answer line outside 1...10 shows no field and
// checks nothing. Odd content is handled safely: a dynamic lesson
// without a space count never counts its literal as closed, an answer with an unusual number of quotes
// is judged on the folded text, a hint list that is empty shows no hint, a tested hint without its
// `contains` flag is skipped, a missing success label counts as "", Next on a lesson that is not in its
// chapter does nothing, an absent `appRated` counts as empty.
//
// Like every screen it is made with std::make_shared: it hands itself to its fields as their delegate.
// Threads: main thread only; backend and video answers arrive on the main queue.
#include "app/lesson/LessonInputAccessoryView.hpp"
#include "model/Chapter.hpp"
#include "model/ProgressReport.hpp"

#include "platform/dispatch/WorkItem.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/uikit/UIKit.hpp"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class LessonViewController : public ui::ViewController, public ui::TextFieldDelegate {
  public:
    using Ptr = std::shared_ptr<LessonViewController>;

    // Colours of the screen.
    static constexpr ui::Color panelGrey = ui::Color::rgb255(64, 64, 64);
    static constexpr ui::Color lineNumberGrey = ui::Color::rgb255(141, 141, 141);
    static constexpr ui::Color successGreen = ui::Color::rgb255(82, 208, 92);
    static constexpr ui::Color stuckRed = ui::Color::rgb255(253, 95, 96);
    // Distances of the run button from the bottom edge: normal, and while the help bar is up.
    static constexpr double runButtonDown = 8;
    static constexpr double runButtonUp = 40;
    static constexpr double helpBarDelay = 10.0;

    // Both ways the platform makes the screen (from the layout file, or by layout-file name) give the
    // same initial state.
    LessonViewController();
    ~LessonViewController() override;

    // --- Inputs ---------------------------------------------------------------------------------------
    std::optional<std::int64_t> lessons;
    Lesson::Ptr lesson;
    Chapter::Ptr chapter;
    ProgressReport::Ptr progressReport;

    // --- Own state ------------------------------------------------------------------------------------
    bool answerIsCorrect = false;
    std::optional<double> kbHeight;
    std::string modelName;
    bool errorButtonBlinked = false;
    std::map<ui::TextField*, ui::LayoutConstraint*> textFieldsToWidthMap;
    int activeTextField = 0;
    dispatch::WorkItem taskMoveRunButtonUp;
    std::optional<std::vector<std::shared_ptr<LessonInputAccessoryView>>> lessonInputAccessoryViews;

    std::vector<ui::View*> lineViews;
    std::vector<ui::View*> lineNumberViews;
    std::vector<ui::Label*> lineNumbers;
    std::vector<ui::TextField*> textFields;
    std::vector<ui::Button*> errorButtons;
    std::vector<ui::Button*> checkMarkButtons;

    // --- View handles (connected by the layout) --------------------------------------------------------
    ui::BarButtonItem* progressBarButtonItem = nullptr;
    ui::Button* runButton = nullptr;
    ui::LayoutConstraint* runButtonBottomLayoutConstraint = nullptr;
    ui::View* lineNumberView = nullptr;
    ui::View* instructionsView = nullptr;
    ui::Label* instructionsLabel = nullptr;
    ui::View* answerView = nullptr;
    ui::View* debugView = nullptr;
    ui::Label* debugMessageLabel = nullptr;
    ui::Label* debugSuccessMessageLabel = nullptr;
    ui::Label* successMessageLabel = nullptr;
    ui::Button* nextButtonView = nullptr;
    ui::View* helpView = nullptr;
    ui::Label* helpViewTitleLabel = nullptr;
    ui::Label* helpViewMessageLabel = nullptr;
    ui::Button* helpViewOKButton = nullptr;
    ui::View* helpBarView = nullptr;
    ui::Button* stuckButton = nullptr;
    ui::Button* helpVideoButton = nullptr;

    // The numbered families, one handle per code line 1...10 (the width constraints are spelled
    // `WIdth`, as the layout names them).
    ui::View *line1View = nullptr, *line2View = nullptr, *line3View = nullptr, *line4View = nullptr,
             *line5View = nullptr, *line6View = nullptr, *line7View = nullptr, *line8View = nullptr,
             *line9View = nullptr, *line10View = nullptr;
    ui::View *line1NumberView = nullptr, *line2NumberView = nullptr, *line3NumberView = nullptr,
             *line4NumberView = nullptr, *line5NumberView = nullptr, *line6NumberView = nullptr,
             *line7NumberView = nullptr, *line8NumberView = nullptr, *line9NumberView = nullptr,
             *line10NumberView = nullptr;
    ui::Label *line1NumberLabel = nullptr, *line2NumberLabel = nullptr, *line3NumberLabel = nullptr,
              *line4NumberLabel = nullptr, *line5NumberLabel = nullptr, *line6NumberLabel = nullptr,
              *line7NumberLabel = nullptr, *line8NumberLabel = nullptr, *line9NumberLabel = nullptr,
              *line10NumberLabel = nullptr;
    ui::Label *line1Text1Label = nullptr, *line2Text1Label = nullptr, *line3Text1Label = nullptr,
              *line4Text1Label = nullptr, *line5Text1Label = nullptr, *line6Text1Label = nullptr,
              *line7Text1Label = nullptr, *line8Text1Label = nullptr, *line9Text1Label = nullptr,
              *line10Text1Label = nullptr;
    ui::TextField *line1TextField = nullptr, *line2TextField = nullptr, *line3TextField = nullptr,
                  *line4TextField = nullptr, *line5TextField = nullptr, *line6TextField = nullptr,
                  *line7TextField = nullptr, *line8TextField = nullptr, *line9TextField = nullptr,
                  *line10TextField = nullptr;
    ui::Label *line1Text2Label = nullptr, *line2Text2Label = nullptr, *line3Text2Label = nullptr,
              *line4Text2Label = nullptr, *line5Text2Label = nullptr, *line6Text2Label = nullptr,
              *line7Text2Label = nullptr, *line8Text2Label = nullptr, *line9Text2Label = nullptr,
              *line10Text2Label = nullptr;
    ui::Button *line1CheckmarkButton = nullptr, *line2CheckmarkButton = nullptr,
               *line3CheckmarkButton = nullptr, *line4CheckmarkButton = nullptr,
               *line5CheckmarkButton = nullptr, *line6CheckmarkButton = nullptr,
               *line7CheckmarkButton = nullptr, *line8CheckmarkButton = nullptr,
               *line9CheckmarkButton = nullptr, *line10CheckmarkButton = nullptr;
    ui::Button *line1ErrorButton = nullptr, *line2ErrorButton = nullptr, *line3ErrorButton = nullptr,
               *line4ErrorButton = nullptr, *line5ErrorButton = nullptr, *line6ErrorButton = nullptr,
               *line7ErrorButton = nullptr, *line8ErrorButton = nullptr, *line9ErrorButton = nullptr,
               *line10ErrorButton = nullptr;
    ui::LayoutConstraint *line1TextFieldLeadingConstraint = nullptr,
                         *line2TextFieldLeadingConstraint = nullptr,
                         *line3TextFieldLeadingConstraint = nullptr,
                         *line4TextFieldLeadingConstraint = nullptr,
                         *line5TextFieldLeadingConstraint = nullptr,
                         *line6TextFieldLeadingConstraint = nullptr,
                         *line7TextFieldLeadingConstraint = nullptr,
                         *line8TextFieldLeadingConstraint = nullptr,
                         *line9TextFieldLeadingConstraint = nullptr,
                         *line10TextFieldLeadingConstraint = nullptr;
    ui::LayoutConstraint *textField1WIdthConstraint = nullptr, *textField2WIdthConstraint = nullptr,
                         *textField3WIdthConstraint = nullptr, *textField4WIdthConstraint = nullptr,
                         *textField5WIdthConstraint = nullptr, *textField6WIdthConstraint = nullptr,
                         *textField7WIdthConstraint = nullptr, *textField8WIdthConstraint = nullptr,
                         *textField9WIdthConstraint = nullptr, *textField10WIdthConstraint = nullptr;

    // The handles of code line k, 1...10 (all null for another k).
    struct LineHandles {
        ui::View* view = nullptr;
        ui::View* numberView = nullptr;
        ui::Label* numberLabel = nullptr;
        ui::Label* text1Label = nullptr;
        ui::TextField* textField = nullptr;
        ui::Label* text2Label = nullptr;
        ui::Button* checkmarkButton = nullptr;
        ui::Button* errorButton = nullptr;
        ui::LayoutConstraint* textFieldLeadingConstraint = nullptr;
        ui::LayoutConstraint* textFieldWIdthConstraint = nullptr;
    };
    LineHandles lineHandles(int k) const;
    // Connects the handles of code line k (the layout's job).
    void connectLine(int k, const LineHandles& handles);

    // --- Life cycle -----------------------------------------------------------------------------------
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void touchesBegan() override;

    // --- Set-up and layout ----------------------------------------------------------------------------
    void setUpViewArrays();
    void loadLesson();
    void styleLessonViews();
    void setUpInputAccessoryViews();
    void hideCheckmarksAndErrors();
    void layOutLesson();

    // --- Answer check ---------------------------------------------------------------------------------
    bool shouldChangeCharacters(ui::TextField& field, ui::Range range,
                                const std::string& replacement) override;
    void fieldTextChanged(ui::TextField& field, ui::Range range, const std::string& replacement);
    std::string proposedFieldText(ui::TextField& field, ui::Range range, const std::string& replacement);
    // The rest of fieldTextChanged, once the proposed text is known: normalise, resize, check.
    void fieldTextChanged(ui::TextField& field, const std::string& proposed);
    void checkAnswer(const std::string& input);
    void checkDynamicAnswer(const std::string& input);
    void blinkErrorButton(double scale);

    // --- Run and output -------------------------------------------------------------------------------
    void runButtonPressed();
    void checkmarkButtonPressed();
    void showOutput();
    void setOutputTexts();

    // --- Colouring ------------------------------------------------------------------------------------
    void colorLessonText();
    void colorHelpView();

    // --- Hints, help bar and videos --------------------------------------------------------------------
    void errorButtonPressed();
    void helpViewOKButtonPressed();
    void helpVideoButtonPressed();
    void showHelpBar(double delay);
    void scheduleRunButtonMove();
    void showVideoHelpBar(double delay);
    void fetchVideoTutorial();

    // --- Keyboard -------------------------------------------------------------------------------------
    // Whether a keyboard notification is about one of this screen's fields.
    bool isOwnKeyboard(const ns::Notification& notification) const;
    void keyboardWillShow(const ns::Notification& notification);
    void keyboardWillHide(const ns::Notification& notification);
    bool shouldBeginEditing(ui::TextField& field) override;
    void didBeginEditing(ui::TextField& field) override;
    bool shouldReturn(ui::TextField& field) override;
    void closeTextField(ui::TextField& field);
    void userTappedBackground();
    // The lift for the active field's tag on this device; `keyboardHeight` is the start frame's height.
    double keyboardOffset(int tag, double keyboardHeight) const;

    // --- Next and end-of-chapter prompts ----------------------------------------------------------------
    void nextButtonPressed();
    void showRateAlert();
    void rateApp();
    void showCourseCompletedAlert();
    void closeLesson();

    // Keeps the views the layout made but no handle owns (constraints).
    void adoptConstraint(std::shared_ptr<ui::LayoutConstraint> constraint);

  private:
    // The answer line's handles, or nullptr when the lesson's `textFieldInLine` is outside 1...10.
    std::optional<LineHandles> answerLine() const;
    ui::TextField* answerField() const;
    void resignAllTextFields();
    void showSuccess();
    void appendCompletedLesson();
    std::shared_ptr<LessonViewController> self();

    std::vector<std::shared_ptr<ui::LayoutConstraint>> constraints_;
    std::vector<ns::NotificationCenter::ObserverToken> keyboardObservers_;
    bool handlingKeyboardHide_ = false;
};
