// Swift course, chapter 10: the switch statement, from plain cases to strings, ranges, where
// clauses, value binding, fallthrough and three challenges.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter10(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH10L1", .number = 1, .title = "Switch basics",
        .instruction = R"(A switch statement compares one value against a list of cases and runs the code of the first case that matches. It reads much better than a long chain of if statements. In line 5, print the string "thirty" when number is 30.)",
        .code = R"(let number = 30
switch number {
   case 10: print("ten")
   case 20: print("twenty")
   case 30: «print("thirty")»
   default: print("Some other number")
})",
        .accepted    = {R"(print( "thirty" ))"},
        .hint        = {"Stuck?", "Break it down. \n 1. Call the print function: print() \n 2. Print the string \"thirty\": print(\"thirty\")"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", R"(")", ")"}},
        .colors      = {{INSTR, R"(In line 5, print the string "thirty" when number is 30.)", comment}, {L1, "let", pink},
                        {L1, "30", purple}, {L2, "switch", pink}, {L2, "number", project}, {L3, "case", pink},
                        {L3, "10", purple}, {L3, "print", blue}, {L3, R"("ten")", red}, {L4, "case", pink}, {L4, "20", purple},
                        {L4, "print", blue}, {L4, R"("twenty")", red}, {L5, "case", pink}, {L6, "default", pink},
                        {L6, "print", blue}, {L6, R"("Some other number")", red}, {SUCCESS, "default", pink},
                        {SUCCESS, "switch", pink}, {ERROR, "print()", comment}, {ERROR, R"("thirty")", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{R"(print("thirty"))", "thirty", "A switch must be exhaustive: it has to handle every possible value. The default case in line 6 takes care of every number that no other case matches."},
                        {R"(print( "thirty" ))", "thirty", "A switch must be exhaustive: it has to handle every possible value. The default case in line 6 takes care of every number that no other case matches."}},
        .video       = "-Q2_8ZZ-KMs",
    });

    addLesson(chapter, {
        .id = "CH10L2", .number = 2, .title = "Switching on strings",
        .instruction = "You can switch on strings too. Since there are endless possible strings, a switch on a string needs a default case that catches every value the other cases do not name. In line 5, add the default case.",
        .code = R"(let state = "Texas"
switch state {
   case "Oregon": print("West coast")
   case "Maine": print("East coast")
   «default:»print("Unknown")
})",
        .hint        = {"Stuck?", "Break it down. \n 1. Type the keyword default \n 2. Follow it with a colon: default:"},
        .placeholder = "Tap to Answer",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "In line 5, add the default case.", comment}, {INSTR, "default", pink}, {L1, "let", pink},
                        {L1, R"("Texas")", red}, {L2, "switch", pink}, {L3, "case", pink}, {L3, R"("Oregon")", red},
                        {L3, "print", blue}, {L3, R"("West coast")", red}, {L4, "case", pink}, {L4, R"("Maine")", red},
                        {L4, "print", blue}, {L4, R"("East coast")", red}, {L5, "print", blue}, {SUCCESS, "!", comment},
                        {SUCCESS, "stateName", project}, {SUCCESS, "default", pink}, {ERROR, "default:", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"default", "Unknown", "Texas is neither Oregon nor Maine, so the default case ran and printed Unknown."}},
        .video       = "1yuvLvPiRf2",
    });

    addLesson(chapter, {
        .id = "CH10L3", .number = 3, .title = "Switching on ranges",
        .instruction = "A case can match a whole range of values: 0...49 matches every number from 0 to 49. This makes switch perfect for grading scores. In line 2, start a switch on score.",
        .code = R"(let score = 99
«switch score» {
   case 0...49: print("keep practising")
   case 50...89: print("good job")
   case 90...100: print("doing great")
   default: print("invalid score")
})",
        .hint        = {"Stuck?", "Break it down. \n 1. Type the keyword switch \n 2. Follow it with the value to check: switch score"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 2, start a switch on score.", comment}, {INSTR, "switch", pink},
                        {INSTR, "0...49", purple}, {SUCCESS, "99", purple}, {L1, "let", pink},
                        {L1, "score", project}, {L1, "99", purple}, {L3, "case", pink}, {L3, "0", purple}, {L3, "49", purple},
                        {L3, "print", blue}, {L3, R"("keep practising")", red}, {L4, "case", pink}, {L4, "50", purple},
                        {L4, "89", purple}, {L4, "print", blue}, {L4, R"("good job")", red}, {L5, "case", pink},
                        {L5, "90", purple}, {L5, "100", purple}, {L5, "print", blue}, {L5, R"("doing great")", red},
                        {L6, "default", pink}, {L6, "print", blue}, {L6, R"("invalid score")", red}, {SUCCESS, "!", comment},
                        {SUCCESS, "stateName", project}, {SUCCESS, "case", pink}, {ERROR, "switch score", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"switch score", "doing great", "A score of 99 falls in the range 90...100, so that case ran."}},
        .video       = "tdjz5SrxlwQ",
    });

    addLesson(chapter, {
        .id = "CH10L4", .number = 4, .title = "Where statements",
        .instruction = "A case can add a condition with the keyword where. The underscore _ matches any value, and the where clause then decides whether the case runs. In line 7, add a case that matches when celsius is above 0.",
        .code = R"(let celsius = 12
switch celsius {
   case _ where celsius < 0:
       print("Freezing")
   case 0:
       print("Zero degrees")
   case«_ where celsius > 0:»
       print("Above zero")
   default: break
})",
        .hint        = {"Stuck?", "Break it down. \n 1. Start with the wildcard _ \n 2. Add the condition: where celsius > 0 \n 3. End the case with a colon: _ where celsius > 0:"},
        .placeholder = "Tap to Answer",
        .words       = {{"_", ">", ":"}},
        .colors      = {{INSTR, "In line 7, add a case that matches when celsius is above 0.", comment},
                        {INSTR, "where", pink}, {INSTR, "case", pink},
                        {INSTR, "celsius", project}, {INSTR, "0", purple},
                        {SUCCESS, "12", purple}, {L1, "let", pink}, {L1, "celsius", project}, {L1, "12", purple},
                        {L2, "switch", pink}, {L2, "celsius", project}, {L3, "case", pink}, {L3, "_", project},
                        {L3, "where", pink}, {L3, "celsius", project}, {L3, "0", purple}, {L4, "print", blue},
                        {L4, R"("Freezing")", red}, {L5, "case", pink}, {L5, "0", purple}, {L6, "print", blue},
                        {L6, R"("Zero degrees")", red}, {L7, "case", pink}, {L8, "print", blue}, {L8, R"("Above zero")", red},
                        {L9, "default", pink}, {L9, "break", pink}, {SUCCESS, "!", comment}, {SUCCESS, "where", pink},
                        {ERROR, "_ where celsius > 0:", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"_ where celsius > 0:", "Above zero", "12 is above 0, so the where clause of line 7 matched."}},
        .video       = "k2DXaehSJhR",
    });

    addLesson(chapter, {
        .id = "CH10L5", .number = 5, .title = "Switch without default",
        .instruction = "When you switch over every case of an enum, the switch is already exhaustive and needs no default. You will meet enums properly in the next chapters. In line 8, add the case for .Hard.",
        .code = R"(enum Level {
   case Easy, Medium, Hard
}
let userLevel = Level.Hard
switch userLevel {
case .Easy: print("Beginner")
case .Medium: print("Intermediate")
«case .Hard:»print("Advanced")
})",
        .accepted    = {"default:"},
        .hint        = {"Stuck?", "Break it down. \n 1. Type the keyword case \n 2. Name the enum case with a dot: case .Hard \n 3. End with a colon: case .Hard:"},
        .placeholder = "Tap to Answer",
        .words       = {{".", ":"}},
        .colors      = {{INSTR, "In line 8, add the case for .Hard.", comment}, {INSTR, "enum", pink},
                        {INSTR, "default", pink}, {L1, "enum", pink}, {L2, "case", pink}, {L4, "let", project},
                        {L4, " Level", project}, {L4, "Hard", project}, {L5, "switch", pink}, {L6, "case", pink},
                        {L6, "print", blue}, {L6, R"("Beginner")", red}, {L7, "case", pink}, {L7, "print", blue},
                        {L7, R"("Intermediate")", red}, {L8, "print", blue}, {L8, R"("Advanced")", red},
                        {SUCCESS, "!", comment}, {SUCCESS, "enum", pink}, {ERROR, "case .Hard", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"case .Hard:", "Advanced", "Sorry for using an enum before the enum chapter! Because every case of Level is handled, this switch needs no default."},
                        {"default:", "Advanced", "default works here too, but case .Hard says exactly which value you mean and reads better."}},
        .video       = "GXtz1s8GVtk",
    });

    addLesson(chapter, {
        .id = "CH10L6", .number = 6, .title = "Check multiple values per case",
        .instruction = "One case can list several values, separated by commas; it matches when the value equals any of them. In line 5, add a case that matches the odd numbers 1, 3, 5, 7 and 9.",
        .code = R"(let digit = 7
switch digit {
case 0,2,4,6,8:
   print("Even digit")
«case 1,3,5,7,9:»
   print("Odd digit")
default:
   print("Not a digit")
})",
        .hint        = {"Stuck?", "Break it down. \n 1. Type the keyword case \n 2. List the odd digits separated by commas: 1,3,5,7,9 \n 3. End with a colon: case 1,3,5,7,9:"},
        .placeholder = "Tap to Answer",
        .words       = {{",", ":"}},
        .colors      = {{INSTR, "In line 5, add a case that matches the odd numbers 1, 3, 5, 7 and 9.", comment},
                        {SUCCESS, "7", purple}, {L1, "let", pink}, {L1, "digit", project},
                        {L1, "7", purple}, {L2, "switch", pink}, {L2, "digit", project}, {L3, "case", pink}, {L3, "0", purple},
                        {L3, "2", purple}, {L3, "4", purple}, {L3, "6", purple}, {L3, "8", purple}, {L4, "print", blue},
                        {L4, R"("Even digit")", red}, {L6, "print", blue}, {L6, R"("Odd digit")", red}, {L7, "default", pink},
                        {L8, "print", blue}, {L8, R"("Not a digit")", red}, {SUCCESS, "!", comment},
                        {SUCCESS, "stateName", project}, {SUCCESS, "case", pink}, {ERROR, "case 1,3,5,7,9:", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"case 1,3,5,7,9:", "Odd digit", "7 is one of the values listed in the case, so it matched."}},
        .video       = "wqvmEe-pJtW",
    });

    addLesson(chapter, {
        .id = "CH10L7", .number = 7, .title = "Fallthrough",
        .instruction = R"(In Swift a case never runs into the next one by itself. If you want that, end the case with the keyword fallthrough. In line 5, add a case for "Sunday" that sets weekend to true.)",
        .code = R"(let day = "Sunday"
var weekend = false
switch day {
   case "Saturday": fallthrough
   «case "Sunday": weekend = true»
   default: break
}
print(weekend))",
        .accepted    = {R"(case "Sunday" : weekend = true)", R"(case "Sunday":weekend=true)"},
        .hint        = {"Stuck?", "Break it down. \n 1. Type case followed by the string \"Sunday\" and a colon \n 2. Set weekend to true: case \"Sunday\": weekend = true"},
        .placeholder = "Tap to Answer",
        .words       = {{R"(")", ":", "="}},
        .colors      = {{INSTR, R"(In line 5, add a case for "Sunday" that sets weekend to true.)", comment},
                        {INSTR, "fallthrough", pink}, {INSTR, R"("Sunday")", red},
                        {L1, "let", pink}, {L1, "day", project}, {L1, R"("Sunday")", red}, {L2, "var", pink},
                        {L2, "weekend", project}, {L2, "false", pink}, {L3, "switch", pink}, {L3, "day", project},
                        {L4, "case", pink}, {L4, R"("Saturday")", red}, {L4, "fallthrough", pink}, {L6, "default", pink},
                        {L6, "break", pink}, {L8, "print", blue}, {L8, "weekend", project}, {SUCCESS, "fallthrough", pink},
                        {ERROR, R"(case "Sunday": weekend = true)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{R"(case "Sunday": weekend = true)", "true", R"(Had day been "Saturday", fallthrough would have carried it into the Sunday case as well.)"},
                        {R"(case "Sunday" : weekend = true)", "true", R"(Had day been "Saturday", fallthrough would have carried it into the Sunday case as well.)"},
                        {R"(case "Sunday":weekend=true)", "true", R"(Had day been "Saturday", fallthrough would have carried it into the Sunday case as well.)"}},
        .video       = "m_w_48IC6dS",
    });

    addLesson(chapter, {
        .id = "CH10L8", .number = 8, .title = "Value Binding",
        .instruction = "A case can bind the matched value to a new constant with let and use it in its body. In line 2, start a switch on message.",
        .code = R"~(let message = "Hi there"
«switch message»{
   case let text where text.count > 5:
       print("Long message: \(text)")
   default: print("Short message")
})~",
        .hint        = {"Stuck?", "Break it down. \n 1. Type the keyword switch \n 2. Add the value to check: switch message"},
        .placeholder = "Tap to Answer",
        .colors      = {{INSTR, "In line 2, start a switch on message.", comment}, {INSTR, "let", pink}, {L1, "let", pink},
                        {L1, R"("Hi there")", red}, {L3, "case", pink}, {L3, "let", pink}, {L3, "where", pink},
                        {L3, "count", blue}, {L4, "print", pink}, {L4, R"~("Long message: \(text)")~", red},
                        {L5, "print", pink}, {L5, "default", pink}, {L5, R"("Short message")", red},
                        {SUCCESS, "text", project}, {ERROR, "switch message", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"switch message", "Long message: Hi there", "The case bound the message to text and printed it, since it is longer than 5 characters."}},
        .video       = "BpXEUAZ--K8",
    });

    addLesson(chapter, {
        .id = "CH10L9", .number = 9, .title = "Default to nothing",
        .instruction = "Sometimes the default case has nothing to do. A case cannot be empty, so write break to leave the switch without doing anything. In line 7, add a default case that does nothing.",
        .code = R"(let answer = "yes"
switch answer {
   case "yes":
       print("Great!")
   case "no":
       print("Too bad!")
«default: break»
})",
        .accepted    = {"default:break"},
        .hint        = {"Stuck?", "Break it down. \n 1. Type default followed by a colon \n 2. Add break: default: break"},
        .placeholder = "Tap to Answer",
        .words       = {{"!", ":"}},
        .colors      = {{INSTR, "In line 7, add a default case that does nothing.", comment}, {INSTR, "break", pink},
                        {INSTR, "default", pink}, {INSTR, "case", pink}, {INSTR, "switch", pink}, {L1, "let", pink},
                        {L1, "answer", project}, {L1, R"("yes")", red}, {L2, "switch", pink},
                        {L2, "answer", project}, {L3, "case", pink}, {L3, R"("yes")", red},
                        {L4, "print", pink}, {L4, R"("Great!")", red},
                        {L5, "celsius", project}, {L5, "Zero degrees", red},
                        {L5, "case", pink}, {L5, R"("no")", red}, {L5, "print", pink}, {L5, "default", pink},
                        {L5, R"("Short message")", red}, {L6, "print", pink}, {L6, R"("Too bad!")", red},
                        {SUCCESS, "error", comment}, {SUCCESS, "break", pink}, {SUCCESS, "default", pink},
                        {SUCCESS, R"("yes")", red}, {SUCCESS, "answer", project}, {SUCCESS, "case", pink},
                        {ERROR, "default: break", comment}, {ERROR, "break", comment}, {ERROR, "default", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"default", "Great!", R"(The answer was "yes", so the first case printed. An answer that no case names would reach default and break out quietly.)"}},
        .video       = "I34wp2NapwM",
    });

    addLesson(chapter, {
        .id = "CH10L10", .number = 10, .title = "Challenge 1",
        .instruction = "Time for a challenge. Items under 10 are bargains, items from 10 up to 100 are regular items and anything dearer is a luxury. In line 3, add a case for prices from 0 up to, but not including, 10.",
        .code = R"(let price = 10
switch price {
«case 0..<10:»
   print("Bargain")
case 10..<100:
   print("Regular item")
default:
   print("Luxury item")
})",
        .accepted    = {"case let p where p < 10:", "case let price where price < 10:"},
        .hint        = {"Stuck?", "Break it down. \n 1. Use the half-open range operator ..< \n 2. Write the case: case 0..<10:"},
        .placeholder = "Tap to Answer",
        .words       = {{".", "<", ":"}},
        .colors      = {{INSTR, "In line 3, add a case for prices from 0 up to, but not including, 10.", comment},
                        {INSTR, "break", pink}, {L1, "let", pink}, {L1, "price", project}, {L1, "10", purple},
                        {L2, "switch", pink}, {L2, "price", project}, {L4, "print", blue}, {L4, R"("Bargain")", red},
                        {L5, "case", pink}, {L5, "10", purple}, {L5, "100", purple}, {L6, "print", blue},
                        {L6, R"("Regular item")", red}, {L7, "default", pink}, {L8, "print", blue},
                        {L8, R"("Luxury item")", red}, {SUCCESS, "error", comment}, {SUCCESS, "0..<10", purple},
                        {SUCCESS, "where", pink}, {ERROR, "case 0..<10:", comment}, {ERROR, "..<", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"case 0..<10:", "Regular item", "The range 0..<10 stops just before 10, so a price of 10 is a regular item."},
                        {"case let p where p < 10:", "Regular item", "Value binding with where works as well: 10 is not smaller than 10, so the next case matched."},
                        {"case let price where price < 10:", "Regular item", "Value binding with where works as well: 10 is not smaller than 10, so the next case matched."}},
        .video       = "5QFdh2bEBxh",
    });

    addLesson(chapter, {
        .id = "CH10L11", .number = 11, .title = "Challenge 2",
        .instruction = "Even house numbers are on one side of the street, odd ones on the other. In line 3, add a case that binds the house number to n and matches when n is even.",
        .code = R"(let houseNumber = 5550
switch houseNumber {
«case let n where n % 2 == 0:»
   print("Even numbered house")
default:
   print("Odd numbered house")
})",
        .accepted    = {"case let n where n % 2 == 0 :"},
        .hint        = {"Stuck?", "Break it down. \n 1. Bind the value: case let n \n 2. Add a condition with where \n 3. A number is even when n % 2 == 0 \n 4. End with a colon: case let n where n % 2 == 0:"},
        .placeholder = "Tap to Answer",
        .words       = {{"%", "=", ":"}},
        .colors      = {{INSTR, "In line 3, add a case that binds the house number to n and matches when n is even.", comment},
                        {INSTR, "break", pink},
                        {SUCCESS, "let", pink}, {ERROR, "n % 2 == 0", comment}, {L1, "let", pink},
                        {L1, "houseNumber", project}, {L1, "5550", purple}, {L2, "switch", pink}, {L2, "houseNumber", project},
                        {L4, "print", blue}, {L4, R"("Even numbered house")", red}, {L5, "default", pink}, {L6, "print", blue},
                        {L6, R"("Odd numbered house")", red}, {SUCCESS, "error", comment},
                        {ERROR, "case let n where n % 2 == 0:", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"case let", "Even numbered house", "Well done! The body never uses n, so you could also write case _ where houseNumber % 2 == 0: without let."}},
        .video       = "-K_0c9TjEo4",
    });

    addLesson(chapter, {
        .id = "CH10L12", .number = 12, .title = "Challenge 3",
        .instruction = "Drivers more than 20% over the speed limit are reckless. In line 4, add a case that binds the speed to cs and matches when cs is above speedLimit * 1.2.",
        .code = R"(let speedLimit: Double = 50
let carSpeed: Double = 75
switch carSpeed {
«case let cs where cs > (speedLimit * 1.2):»
   print("Reckless driver")
default:
   print("Safe driver")
})",
        .accepted    = {"case let cs where cs > (speedLimit*1.2):", "case let cs where cs > (speedLimit*1.2) :", "case let cs where cs > (speedLimit * 1.2) :", "case let cs where cs > (1.2 * speedLimit):", "case let cs where cs > (1.2*speedLimit):", "case let cs where cs > (1.2*speedLimit) :", "case let cs where cs > (1.2 * speedLimit) :", "case let cs where cs > speedLimit*1.2:", "case let cs where cs > speedLimit * 1.2:", "case let cs where cs > 1.2*speedLimit:", "case let cs where cs > 1.2 * speedLimit:", "case let cs where cs / speedLimit > 1.2:"},
        .hint        = {"Stuck?", "Break it down. \n 1. Bind the speed: case let cs \n 2. Add the condition: where cs > (speedLimit * 1.2) \n 3. End with a colon"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ">", ".", "*", ")"}},
        .colors      = {{INSTR, "In line 4, add a case that binds the speed to cs and matches when cs is above speedLimit * 1.2.", comment},
                        {INSTR, "break", pink}, {SUCCESS, "50", purple},
                        {L1, "Double", blue}, {L1, "let", pink}, {L1, "speedLimit", project}, {L1, "50", purple},
                        {L2, "let", pink}, {L2, "carSpeed", project}, {L2, "Double", blue}, {L2, "75", purple},
                        {L3, "switch", pink}, {L3, "carSpeed", project}, {L5, "print", blue},
                        {L5, R"("Reckless driver")", red}, {L6, "default", pink}, {L7, "print", blue},
                        {L7, R"("Safe driver")", red}, {SUCCESS, "error", comment},
                        {ERROR, "case let cs where cs > (speedLimit * 1.2):", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"case", "Reckless driver", "75 is more than 60, 20% over the limit of 50: reckless!"}},
        .video       = "t7947L3B1OA",
    });
}
// clang-format on
