// Swift course, chapter 2: Bool values, comparison operators, negation, && and ||.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter2(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH2L1", .number = 1, .title = "Bool",
        .instruction = "A Bool is either true or false. Declare the variable isAwesome and set it to true (or false, if you must).",
        .code = R"(var language = "Swift"
«var isAwesome = true»
print(isAwesome))",
        .accepted    = {"var isAwesome=true", "var isAwesome=false", "var isAwesome = false", "var isAwesome: Bool = false",
                        "var isAwesome:Bool=false", "var isAwesome:Bool = false", "var isAwesome: Bool = true",
                        "var isAwesome:Bool = true", "var isAwesome:Bool=true", "var isAwesome : Bool = true",
                        "var isAwesome : Bool = false"},
        .hint        = {"Stuck? Break it Down!", "1. Declare the variable: var isAwesome\n2. Give it a Bool value: var isAwesome = true"},
        .wrong       = {{"Don't use quotes", "true and false are Bool values, not text: write them without quotes.",
                         R"(var isAwesome = ")", true}},
        .placeholder = "Create boolean variable",
        .words       = {{R"(")", "=", ":"}},
        .colors      = {{INSTR, "Bool", blue}, {INSTR, "isAwesome", project}, {INSTR, "true", pink}, {INSTR, "false", pink},
                        {SUCCESS, "true", pink}, {SUCCESS, "false", pink},
                        {ERROR, "var isAwesome", comment}, {ERROR, "var isAwesome = true", comment}},
        .colorCount  = 14,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"true", "true", "We agree: Swift is awesome! A Bool holds just true or false."},
                        {"false", "false", "Very funny! A Bool holds just true or false, and we know you meant true."}},
        .video       = "QlY7Zkuvqdt",
    });

    addLesson(chapter, {
        .id = "CH2L2", .number = 2, .title = "Greater or less?",
        .instruction = "Compare the two numbers with > (greater than) or < (less than).",
        .code = R"(let number1 = 7
let number2 = 4
let isGreater = number1«>»number2
print(isGreater))",
        .accepted    = {"<"},
        .success     = "A comparison always gives a Bool.",
        .hint        = {"Doh!", "1. > means greater than\n2. < means less than"},
        .placeholder = " ???",
        .words       = {{">", "<"}},
        .colors      = {{INSTR, ">", comment}, {INSTR, "<", comment}},
        .colorCount  = 15,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{">", "true", "7 is greater than 4, so the comparison gives the Bool true."},
                        {"<", "false", "7 is not less than 4, so the comparison gives the Bool false."}},
        .video       = "7s8Stqcbnr3",
    });

    addLesson(chapter, {
        .id = "CH2L3", .number = 3, .title = "Equal or Not?",
        .instruction = "Use == to test whether the two values are equal, or != to test whether they differ.",
        .code = R"(let youAreSmart = true
let youAreFun = true
let same = youAreSmart«==»youAreFun
print(same))",
        .accepted    = {"!="},
        .success     = "== asks \"equal?\" and != asks \"not equal?\".",
        .hint        = {"Doh!", "1. == tests if two values are equal\n2. != tests if they are not equal"},
        .wrong       = {{"Doh!", "A single = gives a value. To compare, use two: ==", "=", true}},
        .placeholder = " ?",
        .words       = {{"=", "!"}},
        .colors      = {{INSTR, "==", comment}, {INSTR, "!=", comment}},
        .colorCount  = 19,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"==", "true", R"(Both are true, so == asks "equal?" and gets true; != would ask "not equal?".)"},
                        {"!=", "false", R"(Both are true, so != asks "not equal?" and gets false; == would ask "equal?".)"}},
        .video       = "yBdGBLEPH1q",
    });

    addLesson(chapter, {
        .id = "CH2L4", .number = 4, .title = "Let's Compare",
        .instruction = "Pick any comparison operator (>, <, == or !=) and run to see the result.",
        .code = R"(let number1 = 9
let number2 = 3
let trueOrFalse = number1«>»number2
print(trueOrFalse))",
        .accepted    = {"<", "==", "!="},
        .hint        = {"Stuck? Break it down!", "1. > greater than\n2. < less than\n3. == equal to\n4. != not equal to"},
        .placeholder = " ? ",
        .words       = {{"<", "=", "!", ">"}},
        .colors      = {{INSTR, ">", comment}, {INSTR, "<", comment}, {INSTR, "==", comment}, {INSTR, "!=", comment}},
        .colorCount  = 18,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{">", "true", "9 is greater than 3, so 9 > 3 is true."},
                        {"<", "false", "9 is not less than 3, so 9 < 3 is false."},
                        {"==", "false", "9 and 3 are different numbers, so 9 == 3 is false."},
                        {"!=", "true", "9 and 3 are different numbers, so 9 != 3 is true."}},
        .video       = "hT61qtc4xat",
    });

    addLesson(chapter, {
        .id = "CH2L5", .number = 5, .title = "Opposites",
        .instruction = "Only one player can win. Set player2Won to the opposite of player1Won using !",
        .code = R"(let player1Won = true
let player2Won = «!player1Won»
print(player2Won))",
        .hint        = {"Stuck?  Break it down!", "1. ! turns true into false and false into true\n2. Write ! right before player1Won"},
        .wrong       = {{"Doh!", "The = is already there: type the value, !player1Won", "=", true}},
        .words       = {{"=", "!"}},
        .colors      = {{INSTR, "!", pink}, {INSTR, "player1Won", project}},
        .colorCount  = 12,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"!player1Won", "false", "player1Won is true, so !player1Won is false."}},
        .video       = "ws8phP9nhFy",
    });

    addLesson(chapter, {
        .id = "CH2L6", .number = 6, .title = "AND Operator",
        .instruction = "The house is secure only if it is locked AND the alarm is on. Combine the two with &&.",
        .code = R"(let locked = true
let alarmOn = true
let secure =«locked && alarmOn»
print(secure))",
        .accepted    = {"alarmOn && locked"},
        .hint        = {"Stuck? Break it down!", "1. && is true only when both sides are true\n2. locked && alarmOn"},
        .wrong       = {{"Doh!", "The = is already there: type locked && alarmOn", "=", true}},
        .words       = {{"&", "+", "|"}},
        .colors      = {{INSTR, "&&", pink}, {INSTR, "AND", comment}},
        .colorCount  = 14,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"alarmOn && locked", "true", "Both are true, so the house is secure."},
                        {"locked && alarmOn", "true", "Both are true, so the house is secure. The order does not matter."}},
        .video       = "Jfm5di4PzJ5",
    });

    addLesson(chapter, {
        .id = "CH2L7", .number = 7, .title = "OR Operator",
        .instruction = "You exercised if you walked OR biked. Combine the two with ||.",
        .code = R"(let walked = false
let biked = true
let exercised =«walked || biked»
print(exercised))",
        .accepted    = {"biked || walked"},
        .hint        = {"Doh!", "1. || is true when at least one side is true\n2. walked || biked"},
        .wrong       = {{"Doh!", "The = is already there: type walked || biked", "=", true}},
        .words       = {{"&", "+", "|"}},
        .colors      = {{INSTR, "||", pink}, {INSTR, "OR", comment}},
        .colorCount  = 12,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"walked || biked", "true", "You biked, so one side is true and so is the result."},
                        {"biked || walked", "true", "You biked, so one side is true and so is the result."}},
        .video       = "9FHz5r1pY4O",
    });

    addLesson(chapter, {
        .id = "CH2L8", .number = 8, .title = "Challenge 1",
        .instruction = "Declare the constant sameAge: it is true when hisAge == herAge.",
        .code = R"(let hisAge = 30
let herAge = 30
«let sameAge = hisAge == herAge»
print(sameAge))",
        .accepted    = {"let sameAge = herAge == hisAge", "let sameAge: Bool = herAge == hisAge",
                        "let sameAge: Bool = hisAge == herAge"},
        .success     = "Nice! sameAge holds the Bool result of the comparison.",
        .hint        = {"Stuck? Break it down!", "1. let sameAge =\n2. compare with == : hisAge == herAge"},
        .wrong       = {{"Use ==", "One = gives a value, two compare: hisAge == herAge", "let sameAge = hisAge = h", true},
                        {"Use ==", "One = gives a value, two compare: herAge == hisAge", "let sameAge = herAge = h", true},
                        {"Use let", "sameAge never changes, so make it a constant with let.", "v", true}},
        .words       = {{"&", "=", "+"}},
        .colors      = {{INSTR, "sameAge", project}, {INSTR, "==", pink}},
        .colorCount  = 18,
        .debugger    = true,
        .printValue  = "true",
        .labels      = kNoLabels,
        .video       = "jE2jBMptUsG",
    });

    addLesson(chapter, {
        .id = "CH2L9", .number = 9, .title = "Challenge 2",
        .instruction = "Use var to declare doorIsOpen: the door is open when it is not locked.",
        .code = R"(let locked = false
«var doorIsOpen = !locked»
print(doorIsOpen))",
        .accepted    = {"var doorIsOpen: Bool = !locked"},
        .success     = "Right: locked is false, so !locked makes doorIsOpen true.",
        .hint        = {"Doh!", "1. var doorIsOpen =\n2. the opposite of locked: !locked"},
        .words       = {{"&", "=", "!", "|"}},
        .colors      = {{INSTR, "doorIsOpen", project}, {INSTR, "locked", project}},
        .colorCount  = 15,
        .debugger    = true,
        .printValue  = "true",
        .labels      = kNoLabels,
        .video       = "r7CmY-uCu3Z",
    });

    addLesson(chapter, {
        .id = "CH2L10", .number = 10, .title = "Challenge 3",
        .instruction = "Use var to declare bluetoothEnabled of type Bool, without a value.",
        .code = R"(«var bluetoothEnabled: Bool»)",
        .accepted    = {"var bluetoothEnabled:Bool"},
        .success     = "Well done: var bluetoothEnabled: Bool is a variable waiting for its value, true or false.",
        .hint        = {"Doh!", "1. var bluetoothEnabled\n2. : Bool\n3. No = and no value yet: true or false comes later"},
        .words       = {{":", "="}},
        .colors      = {{INSTR, "bluetoothEnabled", project}, {INSTR, "Bool", blue},
                        {INSTR, "without a value", comment}, {ERROR, "=", pink}},
        .colorCount  = 15,
        .video       = "R1zTOlUcR64",
    });

    addLesson(chapter, {
        .id = "CH2L11", .number = 11, .title = "Challenge 4",
        .instruction = "A player can play when fit AND not injured. Combine isFit and injured.",
        .code = R"(let isFit = true
let injured = false
let canPlay =«isFit && !injured»
print(canPlay))",
        .accepted    = {"!injured && isFit"},
        .success     = "Chapter done! You can combine && with ! like a pro.",
        .hint        = {"Need help?", "1. isFit must be true\n2. injured must be false: !injured\n3. join them with &&"},
        .wrong       = {{"Need help?", "The = is already there: type isFit && !injured", "=", true}},
        .words       = {{"&", "+", "|", "!"}},
        .colors      = {{INSTR, "AND", comment}, {INSTR, "isFit", project}, {INSTR, "injured", project}},
        .colorCount  = 16,
        .debugger    = true,
        .printValue  = "true",
        .video       = "cXQLioDnkHI",
    });
}
// clang-format on
