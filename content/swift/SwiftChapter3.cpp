// Swift course, chapter 3: if, else, else if, conditions with !, && and ||, the ternary operator.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter3(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH3L1", .number = 1, .title = "If statements",
        .instruction = R"(An if statement runs its code only when the condition is true. Check with == that progress is "done".)",
        .code = R"(var progress = "done"
if progress «==» "done" {
   print("You are doing great!")
})",
        .accepted    = {"!="},
        .hint        = {"Stuck?  Break it down!", "1. == checks if two values are equal\n2. != checks if they are different"},
        .placeholder = " ? ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "if", pink}, {INSTR, "==", pink}, {INSTR, "progress", project}, {INSTR, R"("done")", red}},
        .colorCount  = 18,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"==", "You are doing great!", "progress is \"done\", so the condition is true and the code inside the braces runs."},
                        {"!=", "", "progress is \"done\", so \"not equal\" is false and the code inside the braces is skipped: nothing is printed."}},
        .search      = "control flow",
        .video       = "fxIq2HZt_Pl",
    });

    addLesson(chapter, {
        .id = "CH3L2", .number = 2, .title = "If... else..",
        .instruction = R"(let weather = "sunny" is set. When the condition is false, the else branch runs instead. Check if weather is "sunny", so that print shows "Bring sunscreen!" and otherwise "Bring an umbrella!".)",
        .code = R"(let weather = "sunny"
if «weather == "sunny"»{
   print("Bring sunscreen!")
} else {
   print("Bring an umbrella!")
})",
        .hint        = {"Stuck? Break it down.", "1. Compare weather with ==\n2. \"sunny\" is text, so it needs quotes"},
        .wrong       = {{"Use ==", "A single = gives a value; to compare use ==", R"(weather = ")", true},
                        {"Use quotes", "\"sunny\" is a String: put it between double quotes.", "weather == s", true}},
        .words       = {{R"(")", "=", ":"}},
        .colors      = {{INSTR, "else", pink}, {INSTR, "weather", project}, {INSTR, R"("sunny")", red}},
        .colorCount  = 25,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{R"(weather == "sunny")", "Bring sunscreen!", "The weather is sunny, so the if branch runs and else is skipped."}},
        .search      = "control flow",
        .video       = "Jhx2jIclHkC",
    });

    addLesson(chapter, {
        .id = "CH3L3", .number = 3, .title = "If... else if...",
        .instruction = R"(else if tests another condition when the first one is false. Here let score = 95 passes the first test, score > 90, so print shows "Top grade!". Add else if before the second test, score > 50.)",
        .code = R"(let score = 95
if score > 90 {
   print("Top grade!")
}«else if»score > 50 {
   print("You passed!")
})",
        .hint        = {"Stuck?", "1. Type else\n2. Then if, for the next condition"},
        .wrong       = {{"Doh!", "Keep going: else if, then the next condition follows.", "e", true}},
        .placeholder = "  ?  ",
        .words       = {{R"(")", "=", ":"}},
        .colors      = {{INSTR, "else if", pink}, {INSTR, "95", purple}, {INSTR, "90", purple}, {INSTR, "50", purple}},
        .colorCount  = 29,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"else if", "Top grade!", "95 is above 90, so the first branch runs and else if is never checked."}},
        .search      = "control flow",
        .video       = "iHp6bR1IqfE",
    });

    addLesson(chapter, {
        .id = "CH3L4", .number = 4, .title = "If BOOL...",
        .instruction = "A Bool is already true or false, so it can be the condition all by itself. Use locked.",
        .code = R"(var locked = true
if «locked»{
   print("The door is locked")
} else {
   print("Come on in!")
})",
        .accepted    = {"!locked"},
        .hint        = {"Stuck?  Break it down.", "1. No need to write == true\n2. Just type locked"},
        .wrong       = {{"Doh!", "No if needed here: it is already on the line. For a further condition you would use else if.", "i", true}},
        .placeholder = "  ?  ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "Bool", blue}, {INSTR, "locked", project},
                        {L1, "var", pink}, {L1, "true", pink}, {L4, "else", pink}, {L5, "print", blue}},
        .colorCount  = 24,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"locked", "The door is locked", "locked is true, so the if branch runs."},
                        {"!locked", "Come on in!", "!locked is false, so the else branch runs."},
                        {"locked == false", std::nullopt, "That works too, but !locked is shorter."},
                        {"locked == true", std::nullopt, "That works too, but locked alone says the same."}},
        .search      = "control flow",
        .video       = "ouHgxzNNAL5",
    });

    addLesson(chapter, {
        .id = "CH3L5", .number = 5, .title = "If ! ... ",
        .instruction = R"(damaged is false. Ship the package only if it is not damaged: use ! before damaged, so print shows "Ready to ship" and the else branch stays silent.)",
        .code = R"(var damaged = false
if «!damaged»{
   print("Ready to ship")
} else {
   print("Send it back")
}
// ! reads as "not")",
        .hint        = {"Stuck? Break it down", "1. ! means not: it reads as \"not\"\n2. Type !damaged\n3. Then if runs its branch when damaged is false"},
        .placeholder = "  ?  ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "!", pink}, {INSTR, "damaged", project}},
        .colorCount  = 25,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"!damaged", "Ready to ship", "damaged is false, so !damaged is true and the package ships."},
                        {"damaged", "Send it back", R"(damaged is false, so this branch would not run: else would print "Send it back" only for a damaged package.)"}},
        .search      = "control flow",
        .video       = "wIScGebcy8F",
    });

    addLesson(chapter, {
        .id = "CH3L6", .number = 6, .title = "If && ... ",
        .instruction = R"(let loggedIn = true and let proUser = true. Write the condition of the if so that print shows "Welcome to Pro features!" only to users who are loggedIn AND proUser.)",
        .code = R"(let loggedIn = true
let proUser = true
if «loggedIn && proUser»{
   print("Welcome to Pro features!")
}
// && needs both sides to be true)",
        .accepted    = {"proUser && loggedIn"},
        .hint        = {"Stuck? Break it down!", "1. Start with loggedIn\n2. Add && proUser\n3. Both sides must be true"},
        .wrong       = {{"Doh!", "Conditions are compared, not assigned: use && between them.", "=", true},
                        {"Doh!", "+ adds numbers. To join conditions use && instead.", "loggedIn +", true}},
        .words       = {{"+", "=", "&"}},
        .colors      = {{INSTR, "AND", comment}, {INSTR, "loggedIn", project}, {INSTR, "proUser", project}, {ERROR, "+", pink}},
        .colorCount  = 32,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"loggedIn && proUser", "Welcome to Pro features!", R"(The let constants loggedIn and proUser are both true, so if runs its code and print shows "Welcome to Pro features!".)"},
                        {"proUser && loggedIn", "Welcome to Pro features!", R"(The let constants loggedIn and proUser are both true, so if runs its code and print shows "Welcome to Pro features!". The order of the conditions does not matter: proUser && loggedIn works just as well.)"}},
        .search      = "control flow",
        .video       = "5n3_YNBDRzr",
    });

    addLesson(chapter, {
        .id = "CH3L7", .number = 7, .title = "If || ... ",
        .instruction = "Kids whose age is over 12 OR who come withParent may watch. Write the if with ||.",
        .code = R"(let age = 10
let withParent = true
«if age > 12 || withParent»{
   print("Enjoy the movie!")
}
// || needs just one side to be true)",
        .accepted    = {"if withParent || age > 12"},
        .hint        = {"Stuck?  Break it down.", "1. if age > 12\n2. || withParent"},
        .wrong       = {{"Use ||", "Swift writes or as ||", "if age > 12 or", true}},
        .words       = {{">", "=", "|"}},
        .colors      = {{INSTR, "OR", comment}, {INSTR, "||", pink}},
        .colorCount  = 25,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"if age > 12 || withParent", "Enjoy the movie!", "The age test is false but withParent is true, so the code runs."},
                        {"if withParent || age > 12", "Enjoy the movie!", "withParent is true, so the code runs. The order of the conditions does not matter."}},
        .search      = "control flow",
        .video       = "ZSgqbjG3uhk",
    });

    addLesson(chapter, {
        .id = "CH3L8", .number = 8, .title = "If == ",
        .instruction = R"(let today = "Friday" and let offerDay = "Friday". Write the whole if: print shows "Today's deal: 50% off!" only if today is the offer day, offerDay: compare them with ==.)",
        .code = R"(let today = "Friday"
let offerDay = "Friday"
«if today == offerDay»{
   print("Today's deal: 50% off!")
}
// == compares two values)",
        .accepted    = {"if offerDay == today"},
        .hint        = {"Oh no!", "1. Start with if\n2. today == offerDay"},
        .wrong       = {{"Oh no!", "Name what you compare first: if today == offerDay", "if =", true}},
        .words       = {{"!", "=", "|"}},
        .colors      = {{INSTR, "today", project}, {INSTR, "offer day", comment}},
        .colorCount  = 29,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"if today == offerDay", "Today's deal: 50% off!", R"(Both constants, let today and let offerDay, hold "Friday", so if finds them equal and print shows "Today's deal: 50% off!".)"},
                        {"if offerDay == today", "Today's deal: 50% off!", R"(Both constants, let today and let offerDay, hold "Friday", so if finds them equal and print shows "Today's deal: 50% off!".)"}},
        .search      = "control flow",
        .video       = "WKFLf6xuI5a",
    });

    addLesson(chapter, {
        .id = "CH3L9", .number = 9, .title = "Challenge 1",
        .instruction = R"(let hour = 20: it is 8 in the evening. print should say "Good evening!" when it is not morning. Which keyword completes line 5: if or else?)",
        .code = R"(let hour = 20
if hour < 12 {
   print("Good morning!")
   print("Have a great day")
}«else»{
   print("Good evening!")
})",
        .success     = "Right! else catches every case the if does not.",
        .hint        = {"Oops!", "1. The code runs when the condition is false\n2. That is the else branch"},
        .colors      = {{INSTR, "not", comment}, {INSTR, "20", purple}},
        .colorCount  = 21,
        .video       = "HUQPFeNBTxa",
    });

    addLesson(chapter, {
        .id = "CH3L10", .number = 10, .title = "Challenge 2",
        .instruction = "Warn the driver when motorIsOn is true and the seat belt is NOT fastened.",
        .code = R"(let motorIsOn = true
let seatBeltFastened = false
// warn when driving without a seat belt
if «motorIsOn && !seatBeltFastened»{
   print("Fasten your seat belt!")
} else {
   print("Have a safe trip")
})",
        .accepted    = {"!seatBeltFastened && motorIsOn", "motorIsOn && seatBeltFastened == false",
                        "seatBeltFastened == false && motorIsOn == true", "motorIsOn && seatBeltFastened == false"},
        .success     = "Safety first! && and ! together say exactly what you mean.",
        .hint        = {"Darn", "1. motorIsOn must be true\n2. seatBeltFastened must be false: !seatBeltFastened\n3. join them with &&"},
        .wrong       = {{"Darn", "The seat belt must NOT be fastened: write !seatBeltFastened (or compare it with == false).", "motorIsOn && s", true},
                        {"Darn", "The seat belt must NOT be fastened: start with !seatBeltFastened (or compare it with == false).", "s", true}},
        .words       = {{"!", "=", "&"}},
        .colors      = {{INSTR, "NOT", comment}},
        .colorCount  = 22,
        .video       = "QWk8JzFalHl",
    });

    addLesson(chapter, {
        .id = "CH3L11", .number = 11, .title = "Challenge 3",
        .instruction = "let appIsUpToDate = false. Write the if condition that asks for an update when the app is not up to date.",
        .code = R"(let appIsUpToDate = false
if«!appIsUpToDate» {
   print("Please update your app.")
})",
        .accepted    = {"appIsUpToDate == false", "appIsUpToDate==false"},
        .success     = "Nice! The condition is true when appIsUpToDate is false, so the message appears.",
        .hint        = {"Darn", "1. The condition must be true when appIsUpToDate is false\n2. !appIsUpToDate"},
        .words       = {{"!", "="}},
        .colors      = {{INSTR, "not", comment}},
        .colorCount  = 16,
        .debugger    = true,
        .printValue  = "Please update your app.",
        .labels      = kNoLabels,
        .video       = "sZfYcMMDktX",
    });

    addLesson(chapter, {
        .id = "CH3L12", .number = 12, .title = "Ternary Operator",
        .instruction = R"(let num1 = 7 and let num2 = 3. The ternary operator picks one of two values: condition ? valueIfTrue : valueIfFalse. Line 4 stores the larger number in var max. Declare var min the same way for the smaller one, so print shows 3.)",
        .code = R"(let num1 = 7
let num2 = 3
// condition ? valueIfTrue : valueIfFalse
var max = num1 > num2 ? num1 : num2
«var min = num1 > num2 ? num2 : num1»
print(min))",
        .padTo       = 10,
        .accepted    = {"var min = num2 > num1 ? num1 : num2", "var min2 = num1 > num2 ? num2 : num1", kShortcutAnswer},
        .success     = "num1 > num2 is true, so var min takes num2, which is 3, and print shows it. var max = num1 > num2 ? num1 : num2 did the same for the larger one, 7. let would work too, since min never changes. The ternary operator fits a whole if-else into one line.",
        .hint        = {"Stuck? Break it down!", stepsThenAnswer({"1. Create var min", "2. Assign it with the ternary operator, like var max on line 4",
                                                                 "3. condition ? valueIfTrue : valueIfFalse",
                                                                 "4. num1 > num2 (7 > 3) is the condition, num2 the value if true",
                                                                 "5. print(min) then shows 3"},
                                                                "var min = num1 > num2 ? num2 : num1")},
        .words       = {{"=", ">", "<", "?"}},
        .colors      = {{INSTR, "?", pink}, {INSTR, ":", pink}, {INSTR, "min", project}, {INSTR, "max", project},
                        {INSTR, "7", purple}, {INSTR, "3", purple}, {INSTR, "condition ? valueIfTrue : valueIfFalse", comment},
                        {INSTR, "ternary operator", comment}, {L4, ">", pink}, {L4, "?", pink}, {L4, ":", pink},
                        {SUCCESS, "3", purple}, {SUCCESS, "7", purple}, {SUCCESS, "var max = num1 > num2 ? num1 : num2", comment},
                        {SUCCESS, "ternary operator", comment}, {SUCCESS, "if-else", pink},
                        {ERROR, "condition ? valueIfTrue : valueIfFalse", comment}, {ERROR, "ternary operator", comment},
                        {ERROR, "7", purple}, {ERROR, "3", purple}, {ERROR, ">", pink},
                        {ERROR, "var min = num1 > num2 ? num2 : num1", comment}},
        .colorCount  = 55,
        .debugger    = true,
        .printValue  = "3",
        .sameMessage = true,
        .video       = "P_tKsf2rcDk",
    });

    addLesson(chapter, {
        .id = "CH3L13", .number = 13, .title = "Ternary and Remainder Operator",
        .instruction = "let x = 3 and var even: Bool. % gives the remainder of a division. Finish line 6 so even is true when x % 2 == 0, else false.",
        .code = R"(let x = 3
var even: Bool
if x % 2 == 0 { even = true }
else { even = false }
// the same in one line:
even = x % 2 == 0«? true : false»
print(even))",
        .padTo       = 10,
        .accepted    = {"? true : false", "? true:false", "?true:false", kShortcutAnswer},
        .success     = "3 divided by 2 leaves 1, so 3 is odd and even is false.",
        .hint        = {"Stuck? Break it down!", stepsThenAnswer({"1. condition ? valueIfTrue : valueIfFalse",
                                                                 "2. true when the remainder is 0, else false"},
                                                                "? true : false")},
        .words       = {{"?", ":"}},
        .colors      = {{INSTR, "%", pink}, {INSTR, "even", project}, {INSTR, "3", purple}, {L3, "if", pink}, {L3, "2", purple},
                        {L5, "// the same in one line:", comment}, {L7, "print", blue}},
        .colorCount  = 44,
        .debugger    = true,
        .printValue  = "false",
        .sameMessage = true,
        .search      = "remainder operator %",
        .video       = "dfrUnW5gcF-",
    });
}
// clang-format on
