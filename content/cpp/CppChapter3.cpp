// C++ course, chapter 3: the if statement, else and else if, bool conditions, !, && and ||, == and != on
// values of any type.
#include "content/cpp/CppCourse.hpp"
#include "content/cpp/CppLesson.hpp"

using namespace content;
using namespace content::cpp;
using namespace content::form;

namespace {

// The rule runs the chapter's lists carry from lesson to lesson.
std::vector<ColorRule> secondLine(const LessonText& literal, const LessonText& number) {
    return join({in(L2, pink, {"if", "bool", "int", "true", "false"}),
                 {{L2, "std", blue}, {L2, "string", blue}, {L2, literal, red}, {L2, number, purple}}});
}
std::vector<ColorRule> thirdLine(const LessonText& literal) {
    return join(
        {in(L3, pink, {"if", "int", "bool", "true", "false"}), {{L3, literal, red}, {L3, "3", purple}}});
}
std::vector<ColorRule> thirdLineWithString(const LessonText& literal, const LessonText& number) {
    return join({in(L3, pink, {"if", "int", "bool", "true", "false"}),
                 {{L3, "std", blue}, {L3, "string", blue}, {L3, literal, red}, {L3, number, purple}}});
}
std::vector<ColorRule> carriedLines() {
    return join({in(L4, pink, {"if", "int", "bool", "true", "false"}),
                 {{L4, R"("Please rate our app!\n")", red},
                  {L4, "9", purple},
                  {L6, R"("Minecraft")", red},
                  {L7, "double", pink},
                  {L7, "0.25", purple},
                  {L4, "else", pink},
                  {L5, "else", pink}}});
}
std::vector<ColorRule> print(CustomStringSection line, const LessonText& literal) {
    return {{line, "std::cout", blue}, {line, "std::endl", blue}, {line, literal, red}};
}
const std::vector<ColorRule> kWeatherHint = {{ERROR, ANSWER, comment},
                                             {ERROR, "=", comment},
                                             {ERROR, "==", comment},
                                             {ERROR, "weather", project},
                                             {ERROR, "string", blue},
                                             {ERROR, R"("sunny")", red},
                                             {ERROR, R"(if weather == "sunny")", comment}};
std::vector<ColorRule> offerInstruction(const LessonText& op) {
    return {{INSTR, "if", pink},
            {INSTR, op, comment},
            {INSTR, "types", blue},
            {INSTR, "today", project},
            {INSTR, "offerDay", project}};
}
const std::vector<ColorRule> kOfferSuccess = {{SUCCESS, "offerDay", project}, {SUCCESS, "today", project}};
const std::vector<ColorRule> kSyntaxHint = {{ERROR, ANSWER, comment},
                                            {ERROR, "if", pink},
                                            {ERROR, "else", comment},
                                            {ERROR, "true", pink},
                                            {ERROR, "false", pink}};

} // namespace

// clang-format off
void buildCppChapter3(Chapter& chapter) {
    // C++CH3L1
    addCppLesson(chapter, {
        .title = "If statements",
        .instruction = "If statements are one of the most popular methods to control the flow of logic while programming.  The if condition must evaluate to true or false.  Complete the if statement below.",
        .code = R"(int main() {
   std::string progress = "awesome";
   if (progress«==»"awesome") {
       std::cout << "True indeed!" << std::endl;
   }
})",
        .accepted    = {"!="},
        .hint        = {"Stuck?  Break it down!", "To test if progress is \"awesome\" use the equality operator \n " + ANSWER},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .placeholder = "?",
        .words       = {{R"(")", "=", ";"}},
        .colors      = join({{{INSTR, "true", pink}, {INSTR, "bool", blue}, {INSTR, "false", pink}, {INSTR, "isAwesome", project},
                              {L1, "int", pink}, {L1, "int", pink},
                              {L2, "int", pink}, {L2, "std", blue}, {L2, "bool", pink}, {L2, "true", pink}, {L2, "false", pink},
                              {L2, "if", pink}, {L2, "string", blue}, {L2, R"("awesome")", red}, {L2, "9", purple}},
                             in(L3, pink, {"int", "bool", "true", "false", "if", "true", "false"}),
                             {{L3, R"("awesome")", red}, {L3, "3", purple},
                              {L4, "int", pink}, {L4, "if", pink}, {L4, "bool", pink}, {L4, R"("True indeed!")", red}, {L4, "9", purple},
                              {L4, "std::cout", blue}, {L4, "std::endl", blue}, {L4, R"("True indeed!")", red},
                              {SUCCESS, " var ", pink}, {SUCCESS, "true", pink}, {SUCCESS, "!=", comment}, {SUCCESS, "==", comment},
                              {ERROR, ANSWER, comment}}}),
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"==", "True indeed!", R"(Nicely done.  What happens if progress does not == "awesome"?  Let's find out.)"},
                        {"!=", "Program ended with exit code: 0", "The code in line 3 is not printed to the console because you are testing for !=.  Let's move on."}},
    });

    // C++CH3L2
    addCppLesson(chapter, {
        .title = "If... else..",
        .instruction = "The code after else runs when the if condition is false.  Complete the if statement so that sunny weather means bringing sunscreen.",
        .code = R"(int main() {
   std::string weather = "sunny";
   if «( weather == "sunny" )»{
       std::cout << "Bring sunscreen!\n";
   }
   else {
       std::cout << "Oh no!\n";
   }
})",
        .accepted    = {BLANKLESS, R"((weather == "sunny"))", R"(( weather=="sunny" ))"},
        .success     = "Solid work!  What if you want to test for multiple conditions?",
        .hint        = {"Stuck? Break it down.", "Step1 . Check if the weather variable contains the string \"sunny\" \n 2. Remember the correct syntax \n " + ANSWER},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", R"(")", ")"}},
        .colors      = join({{{INSTR, "if", pink}, {INSTR, "else", pink}, {L1, "int", pink},
                              {L2, "if", pink}, {L2, "int", pink}, {L2, "std", blue}, {L2, "string", blue}, {L2, R"("sunny")", red},
                              {L2, "9", purple}},
                             in(L3, pink, {"if", "int", "bool", "true", "false"}),
                             {{L3, R"("Bring sunscreen!")", red}, {L3, "3", purple}},
                             in(L4, pink, {"if", "int", "bool", "true", "false"}),
                             {{L4, R"("C++")", red}, {L4, "9", purple}, {L4, "else", pink}, {L5, "else", pink}, {L6, "else", pink}},
                             print(L4, R"("Bring sunscreen!\n")"), print(L7, R"("Oh no!\n")"), {{SUCCESS, "C++", blue}}, kWeatherHint}),
        .debugger    = true,
        .printValue  = "Bring sunscreen!",
    });

    const LessonText rateUs = R"(Ha!  favoriteApp was set to "Quorvane", so the first block ran.  If you like this app, please rate it!)";
    // C++CH3L3
    addCppLesson(chapter, {
        .title = "If... else if...",
        .instruction = "else if chains a second condition to an if: it is tested only when the first one is false.  Fill in line 6.",
        .code = R"(int main() {
   std::string favoriteApp = "Quorvane";
   if (favoriteApp == "Quorvane") {
       std::cout << "Please rate our app!\n";
   }
   «else if»(favoriteApp == "Minecraft") {
       std::cout << "Fine, I will get over it.\n";
   }
})",
        .success     = rateUs,
        .hint        = {"Stuck?", R"(Line 6 tests the condition favoriteApp == "Minecraft".  A condition that follows an existing if must start with else if.  So just enter. )" "\n " + ANSWER},
        .placeholder = "???",
        .words       = {{"=", ";"}},
        .colors      = join({{{INSTR, "if", pink}, {INSTR, "else if", pink}, {L1, "int", pink},
                              {L2, "if", pink}, {L2, "int", pink}, {L2, "std", blue}, {L2, "string", blue}, {L2, R"("Quorvane")", red},
                              {L2, "9", purple}},
                             thirdLine(R"("Quorvane")"),
                             in(L4, pink, {"if", "int", "bool", "true", "false"}),
                             {{L4, R"("Please rate our app!\n")", red}, {L4, "9", purple}, {L6, R"("Minecraft")", red},
                              {L7, R"("Fine, I will get over it.\n")", red}, {L4, "else", pink}, {L5, "else", pink}, {L6, "else", pink}},
                             print(L4, R"("Bring sunscreen!\n")"), print(L7, R"("Oh no!\n")"), {{SUCCESS, R"("Quorvane")", red}},
                             kWeatherHint}),
        .debugger    = true,
        .printValue  = "Please rate our app!",
    });

    {   // C++CH3L4
        const LessonText needKey = "Since locked is of Type Bool, you can use it directly in the if statement.";
        const LessonText mayEnter = "Impressive!  Yes, you can also check if the door is !locked.  :-)";
        const LessonText isFalse = "locked == false asks whether the door is open.  It is locked, so the else block runs.";
        addCppLesson(chapter, {
            .title = "If BOOL...",
            .instruction = "If you have a boolean variable, you can use it in the if statement.  Give it a try...",
            .code = R"(int main() {
   bool locked = true;
   if«( locked )»{
       std::cout << "You need a key to enter!\n";
   } else {
       std::cout << "You may enter.\n";
   }
})",
            .accepted    = {BLANKLESS, "( !locked )", "(!locked)", "( locked == true )", "(locked == true)", "(locked==true)",
                            "( locked==true )", "( locked == false )", "(locked == false)", "(locked==false)", "( locked==false )"},
            .success     = rateUs,
            .hint        = {"Stuck?", "You want to check if the door is locked. \n ( locked )"},
            .placeholder = "Tap to answer",
            .words       = {{"(", ")"}},
            .colors      = join({{{INSTR, "if", pink}, {INSTR, "else if", pink}, {L1, "int", pink}},
                                 secondLine(R"("Quorvane")", "9"), thirdLine(R"("Quorvane")"),
                                 in(L4, pink, {"if", "int", "bool", "true", "false"}),
                                 {{L4, R"("Please rate our app!\n")", red}, {L4, "9", purple}, {L6, R"("Minecraft")", red},
                                  {L7, R"("Fine, I will get over it.\n")", red}, {L4, "else", pink}, {L5, "else", pink}, {L6, "else", pink}},
                                 print(L4, R"("You need a key to enter!\n")"), print(L6, R"("You may enter.\n")"),
                                 {{SUCCESS, R"("Quorvane")", red}}, kWeatherHint}),
            .debugger    = true,
            .blankDebugTexts = true,
            // The longest key found in the answer wins, so the == false forms get keys of their own.
            .outputs     = {{"locked", "You need a key to enter!", needKey}, {"!locked", "You may enter.", mayEnter},
                            {"locked == false", "You may enter.", isFalse}, {"locked==false", "You may enter.", isFalse}},
        });
    }

    // C++CH3L5
    addCppLesson(chapter, {
        .title = "If ! ... ",
        .instruction = "Put ! in front of a condition to test that it is not true, or compare it with false.  Complete the if so that it runs when the item is not damaged.",
        .code = R"(int main() {
   bool damaged = false;
   if«( !damaged )»{
       std::cout << "Don't offer a discount!\n";
   } else {
       std::cout << "Set discount to 25%\n";
       double discount = 0.25; }
})",
        .accepted    = {BLANKLESS, "( damaged == false )", "(damaged == false)", "(damaged==false)", "( damaged==false )"},
        .hint        = {"Stuck? Break it down", "If the item is not damaged, then we don't want to give a discount.  Use the exclamation mark to test for the opposite condition. \n " + ANSWER},
        .placeholder = "Tap to answer",
        .words       = {{"(", "!", ")"}},
        .colors      = join({in(INSTR, pink, {"if", "else", "true", "false"}), {{L1, "int", pink}},
                             secondLine(R"("Quorvane")", "9"), thirdLine(R"("Quorvane")"), carriedLines(), {{L6, "else", pink}},
                             print(L4, R"("Don't offer a discount!\n")"), print(L6, R"("Set discount to 25%\n")"),
                             {{SUCCESS, "discount", project}, {SUCCESS, "!damaged", project}, {SUCCESS, "false", pink},
                              {ERROR, "!damaged", project}},
                             kWeatherHint}),
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"damaged", "Don't offer a discount!\n", "The item is not damaged, so there is no discount, and the variable discount is never initialised."}},
    });

    // C++CH3L6
    addCppLesson(chapter, {
        .title = "If && ... ",
        .instruction = "&& joins two conditions in one if: the block runs only when both are true.  Check that loggedIn and proUser are both true.",
        .code = R"(int main() {
   bool loggedIn = true;
   bool proUser = true;
   if«( loggedIn && proUser )»{
       std::cout << "Unlock all content\n";
       bool unlockContent = true;
   }
})",
        .accepted    = {BLANKLESS, "(loggedIn && proUser)", "( loggedIn&&proUser )", "( proUser && loggedIn )", "(proUser && loggedIn)",
                        "( proUser&&loggedIn )", "(proUser&&loggedIn)", "( loggedIn == true && proUser == true)",
                        "(loggedIn==true && proUser==true)", "(loggedIn==true&&proUser==true)"},
        .success     = "The content is unlocked only because loggedIn && proUser are both true.",
        .hint        = {"Stuck? Break it down!", "You want to check if the user is both logged in and a pro user.  \n " + ANSWER},
        .placeholder = "Tap to answer",
        .words       = {{"(", "&", ")"}},
        .colors      = join({{{INSTR, "if", pink}, {INSTR, "&&", comment}, {INSTR, "true", pink}, {INSTR, "false", pink},
                              {INSTR, "loggedIn", project}, {INSTR, "proUser", project}, {L1, "int", pink}},
                             secondLine(R"("Quorvane")", "9"), thirdLine(R"("Quorvane")"), carriedLines(),
                             in(L6, pink, {"else", "bool", "true"}), print(L5, R"("Unlock all content\n")"),
                             {{SUCCESS, "loggedIn", project}, {SUCCESS, "proUser", project}, {SUCCESS, "true", pink},
                              {SUCCESS, "&&", comment}, {ERROR, "loggedIn", project}, {ERROR, "proUser", project},
                              {ERROR, "&&", comment}, {ERROR, ANSWER, comment}}}),
        .debugger    = true,
        .printValue  = "Unlock all content",
    });

    // C++CH3L7
    addCppLesson(chapter, {
        .title = "If || ... ",
        .instruction = "|| makes an if run when at least one condition is true.  In line 4, write the if statement that sells a ticket when age is greater than 12 or the child comes with a parent.",
        .code = R"(int main() {
   int age = 9;
   bool withParent = true;
   «if ( age > 12 || withParent ) {»
       std::cout << "Sell movie ticket\n";
       bool authorizeSale = true;
   }
})",
        .accepted    = {BLANKLESS, "if ( age>12 || withParent ) {", "if (age > 12 || withParent) {", "if (age>12 || withParent) {",
                        "if(age>12 || withParent){", "if ( withParent || age > 12 ) {", "if (withParent || age > 12) {",
                        "if ( withParent||age > 12 ) {", "if (withParent || age>12) {", "if ( withParent || age>12 ) {",
                        "if (withParent||age>12) {", "if(withParent||age>12){", "if (withParent || age>12){"},
        .success     = "The ticket is sold: age is not above 12, but withParent is true, and one true side is enough.",
        .hint        = {"Stuck?  Break it down.", steps({"1. Start the if with if ( true ) {", "2. Replace true with age > 12 || withParent", "3. Finish with the open bracket {"}) + ANSWER},
        .placeholder = "Tap to answer",
        .words       = {{"(", "|", ">", ")", "{"}},
        .colors      = join({{{INSTR, "if", pink}, {INSTR, "||", comment}, {INSTR, "true", pink}, {INSTR, "greater than 12", comment},
                              {INSTR, "with a parent", comment}, {L1, "int", pink}},
                             secondLine(R"("Quorvane")", "9"), thirdLine(R"("Quorvane")"), carriedLines(),
                             in(L6, pink, {"else", "bool", "true"}), print(L5, R"("Sell movie ticket\n")"),
                             {{SUCCESS, "withParent", project}, {SUCCESS, "age", project}, {SUCCESS, "12", purple},
                              {SUCCESS, "true", pink}, {ERROR, "loggedIn", project}, {ERROR, "proUser", project},
                              {ERROR, "&&", comment}, {ERROR, ANSWER, comment}}}),
        .debugger    = true,
        .printValue  = "Sell movie ticket",
    });

    // C++CH3L8
    addCppLesson(chapter, {
        .title = "If == ",
        .instruction = "== works for all types, strings included.  In line 4, write the if statement that tests whether today is the offerDay.",
        .code = R"(int main() {
   std::string today = "Monday";
   std::string offerDay = "Monday";
   «if ( today == offerDay ) {»
       std::cout << "Offer 10% discount\n";
       double discount = 0.1;
   }
})",
        .accepted    = {BLANKLESS, ANSWER, "if ( today==offerDay ) {", "if (today == offerDay) {", "if (today==offerDay) {",
                        "if ( offerDay == today ) {", "if ( offerDay==today ) {", "if (offerDay == today) {",
                        "if (offerDay==today) {", "if(offerDay==today){"},
        .success     = "today == offerDay, so the customer gets 10% off.  Next: testing that two values differ.",
        .hint        = {"Stuck?  Break it down.", "1. Remember the syntax \n if ( true ) { \n 2. Now check if today is the offerDay \n " + ANSWER},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ")", "{"}},
        .colors      = join({offerInstruction("=="), {{L1, "int", pink}},
                             secondLine(R"("Monday")", "9"), thirdLineWithString(R"("Monday")", "3"), carriedLines(),
                             {{L6, "else", pink}, {L6, "double", pink}, {L6, "0.1", purple}},
                             print(L5, R"("Offer 10% discount\n")"), kOfferSuccess, {{ERROR, ANSWER, comment}}}),
        .debugger    = true,
        .printValue  = "Offer 10% discount",
    });

    // C++CH3L9
    addCppLesson(chapter, {
        .title = "If != ",
        .instruction = "!= is true when two values differ, whatever their types.  In line 4, write the if statement that is true when pinEntered is not the pin.",
        .code = R"(int main() {
   int pin = 4729;
   int pinEntered = 5163;
   «if ( pin != pinEntered ) {»
       std::cout << "Wrong number. Try again.\n";
   } else {
       std::cout << "Transaction approved.\n";
   }
})",
        .accepted    = {BLANKLESS, "if ( pin!=pinEntered ) {", "if (pin != pinEntered) {", "if( pin!= pinEntered ){",
                        "if ( pin!=pinEntered ) {", "if(pin != pinEntered){", "if (pin!=pinEntered) {", "if (pin!=pinEntered){",
                        "if ( pin!= pinEntered ) {", "if ( pinEntered != pin) {", "if (pinEntered != pin) {",
                        "if( pinEntered != pin){", "if ( pinEntered!=pin ) {", "if(pinEntered != pin){", "if (pinEntered!=pin) {",
                        "if (pinEntered!=pin){", "if ( pinEntered != pin) {"},
        .success     = "pinEntered != pin, so the user has to try again.  Time for a few challenges!",
        .hint        = {"Stuck?  Break it down.", "1. Remember the syntax \n if ( true ) { \n 2. Now check if the pinEntered is not equal to the pin. \n " + ANSWER},
        .placeholder = "Tap to answer",
        .words       = {{"(", "!", "=", ")", "{"}},
        .colors      = join({offerInstruction("!="), {{L1, "int", pink}},
                             secondLine(R"("QeR5mowt")", "4729"), thirdLineWithString(R"("QeR5moWt")", "5163"),
                             in(L4, pink, {"if", "int", "bool", "true", "false"}),
                             {{L4, R"("Test\n")", red}, {L4, "9", purple}, {L6, R"("Minecraft")", red}, {L7, "double", pink},
                              {L7, "0.25", purple}, {L4, "else", pink}, {L5, "else", pink}, {L6, "else", pink}, {L6, "double", pink},
                              {L6, "0.1", purple}},
                             print(L5, R"("Wrong number. Try again.\n")"), print(L7, R"("Transaction approved.\n")"),
                             {{SUCCESS, "pinEntered", project}, {SUCCESS, "pin", project}, {SUCCESS, "!=", comment},
                              {ERROR, ANSWER, comment}}}),
        .debugger    = true,
        .printValue  = "Wrong number. Try again.",
    });

    // C++CH3L10
    addCppLesson(chapter, {
        .title = "Challenge 1",
        .instruction = "The checkmark must show only after a correct answer.  Complete line 6 with the missing keyword.",
        .code = R"(int main() {
   bool answeredCorrectly = true;
   bool displayCheckmark = false;
   if ( answeredCorrectly ) {
       displayCheckmark = true;
   }«else»{
       displayCheckmark = false;
   }
})",
        .success     = "Since you answeredCorrectly, the checkmark appeared.  :-)",
        .hint        = {"Oops!", "Use if... else... if you want some code to run if the condition is true or false."},
        .placeholder = "Tap to answer",
        .words       = {{"=", ";"}},
        .colors      = join({offerInstruction("=="), {{L1, "int", pink}},
                             secondLine(R"("Monday")", "9"), thirdLineWithString(R"("Monday")", "3"), carriedLines(),
                             {{L6, "else", pink}, {L5, "true", pink}, {L7, "false", pink}},
                             print(L5, R"("Offer 10% discount\n")"), kOfferSuccess,
                             {{ERROR, ANSWER, comment}, {ERROR, "if", comment}, {ERROR, "else", comment}, {ERROR, "true", pink},
                              {ERROR, "false", pink}}}),
        .printValue  = "",
    });

    // C++CH3L11
    addCppLesson(chapter, {
        .title = "Challenge 2",
        .instruction = "Show the seat belt alert only when the motor is on and the seat belt is not fastened.  Complete the if in line 5.",
        .code = R"(int main() {
   bool motorIsOn = true;
   bool seatBeltFastened = false;
   bool displaySeatBeltAlert = false;
   if«( motorIsOn && !seatBeltFastened )»{
       displaySeatBeltAlert = true;
   } else {
       displaySeatBeltAlert = false;
   }
})",
        .accepted    = {BLANKLESS, "(motorIsOn && !seatBeltFastened)", "( motorIsOn&&!seatBeltFastened )", "( !seatBeltFastened && motorIsOn )",
                        "( !seatBeltFastened&&motorIsOn )", "(!seatBeltFastened && motorIsOn)", "(!seatBeltFastened&&motorIsOn)"},
        .success     = "Super!  Let's move on.",
        .hint        = {"Stuck?", "You need to test if motorIsOn is true and seatBeltFastened is false."},
        .placeholder = "Tap to answer",
        .words       = {{"(", "&", "!", ")"}},
        .colors      = join({offerInstruction("=="), {{L1, "int", pink}},
                             secondLine(R"("Monday")", "9"), thirdLineWithString(R"("Monday")", "3"), carriedLines(),
                             {{L6, "else", pink}, {L7, "else", pink}, {L5, "if", pink}, {L6, "true", pink}, {L8, "false", pink}},
                             print(L5, R"("Offer 10% discount\n")"), kOfferSuccess, kSyntaxHint}),
        .printValue  = "",
    });

    // C++CH3L12
    addCppLesson(chapter, {
        .title = "Challenge 3",
        .instruction = "Ask for an update only when the app is outdated: complete the if in line 3.",
        .code = R"(int main() {
   bool appIsUpToDate = false;
   if«( !appIsUpToDate )»{
       std::cout << "Please update your app\n";
   }
})",
        .accepted    = {BLANKLESS, "( appIsUpToDate == false )", "( appIsUpToDate==false )", "(appIsUpToDate==false)",
                        "(appIsUpToDate == false)"},
        .success     = "You did it!  Progress feels good.  :-)",
        .hint        = {"Darn", "The if must run when appIsUpToDate == false.  You can write that with == or with ! in front of the name."},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", "!", ")"}},
        .colors      = join({offerInstruction("=="), {{L1, "int", pink}},
                             secondLine(R"("Monday")", "9"), thirdLineWithString(R"("Monday")", "3"), carriedLines(),
                             {{L6, "else", pink}, {L7, "else", pink}, {L5, "if", pink}, {L6, "true", pink}, {L8, "false", pink},
                              {L4, "std::cout", blue}, {L4, "std::endl", blue}, {L5, R"("Please update your app\n")", red}},
                             kOfferSuccess, kSyntaxHint}),
        .debugger    = true,
        .printValue  = "Please update your app",
    });

    // C++CH3L13
    addCppLesson(chapter, {
        .title = "Challenge 4",
        .instruction = "If the bag is over 50 pounds it cannot be checked into the flight.  Add the missing if statement in line 4.",
        .code = R"(int main() {
   int luggageWeight = 49;
   bool premierStatus = true;
   «if ( luggageWeight > 50 ) {»
       std::cout << "Your bag is too heavy\n";
   } else if (premierStatus) {
       std::cout << "Checking bags is free\n";
   } else {
       std::cout << "It costs $25 per bag\n";
}})",
        .accepted    = {BLANKLESS, "if (luggageWeight > 50) {", "if (luggageWeight > 50 ) {", "if ( luggageWeight>50 ) {",
                        "if(luggageWeight > 50 ){", "if (luggageWeight > 50 ){", "if(luggageWeight > 50 ) {",
                        "if(luggageWeight > 50) {", "if(luggageWeight>50){", "if (luggageWeight>50) {"},
        .success     = "High five!  Happy dance.  You are on a ROLL!",
        .hint        = {"Think", "1. Remember the syntax. \n if ( true ) { \n 2. Check if the bag weights over 50 pounts."},
        .placeholder = "Tap to answer",
        .words       = {{"(", ">", ")"}},
        .colors      = join({offerInstruction("=="), {{L1, "int", pink}},
                             secondLine(R"("Monday")", "49"), thirdLineWithString(R"("Monday")", "3"), carriedLines(),
                             {{L6, "else if", pink}, {L8, "else", pink}, {L5, "if", pink}, {L6, "true", pink}, {L8, "false", pink}},
                             print(L5, R"("Your bag is too heavy\n")"), print(L7, R"("Checking bags is free\n")"),
                             print(L9, R"("It costs $25 per bag\n")"), kOfferSuccess, kSyntaxHint}),
        .debugger    = true,
        .printValue  = "Checking bags is free",
    });
}
// clang-format on
