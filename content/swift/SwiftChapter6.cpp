// Swift course, chapter 6: for-in over ranges and arrays, while, repeat-while, and a five-step
// challenge that collects the odd numbers from 1 to 100.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

#include <utility>

using namespace content;
using namespace content::form;

namespace {

// Every lesson of this chapter keeps its output in the answer-key dictionaries, with the other
// debugger texts empty.
Lesson::Ptr add(Chapter& chapter, LessonForm form) {
    form.blankDebugTexts = true;
    return addLesson(chapter, std::move(form));
}

// The challenge lessons show no output; their keys are their accepted answers.
std::vector<Output> silentKeys(std::initializer_list<LessonText> answers) {
    std::vector<Output> outputs;
    outputs.reserve(answers.size());
    for (const auto& answer : answers)
        outputs.push_back({answer, "", "Next step!"});
    return outputs;
}

} // namespace

// clang-format off
void buildSwiftChapter6(Chapter& chapter) {
    add(chapter, {
        .id = "CH6L1", .number = 1, .title = "What is a loop?",
        .instruction = "A loop repeats code: for number in 1...5 runs once for every number in the closed range, and print shows each one squared.",
        .code = R"(for number in«1...5»{
   print(number * number, terminator: ",")
})",
        .accepted    = {kShortcutAnswer},
        .success     = "The loop ran five times, once for every number in the range.",
        .hint        = {"Stuck?  Break it down!", "1. A closed range is written first...last\n2. 1...5"},
        .placeholder = " ? ",
        .words       = {{"!", "."}},
        .colors      = {{INSTR, "1...5", purple}},
        .colorCount  = 15,
        .debugger    = true,
        .outputs     = {{"5", "1,4,9,16,25,", "1 to 5: each number multiplied by itself."},
                        {kShortcutAnswer, "1,4,9,16,25,", "1 to 5: each number multiplied by itself."}},
        .search      = "control flow",
        .video       = "iRUIQfHOJMa",
    });

    add(chapter, {
        .id = "CH6L2", .number = 2, .title = "Loop through array",
        .instruction = "Write for name in names: the loop goes through names, calling each item name.",
        .code = R"(let names = ["Ana", "Ben", "Cleo"]
«for name in names» {
   if name == names.last {
      print("and " + name)
   } else {
      print(name + ", ", terminator: "")
   }
})",
        .success     = "for-in visits every item of an array in order.",
        .hint        = {"Stuck?", "1. for name in\n2. names"},
        .placeholder = " ? ",
        .words       = {{"(", "=", ")"}},
        .colors      = {{INSTR, "names", project}, {INSTR, "name", project}},
        .colorCount  = 17,
        .debugger    = true,
        .outputs     = {{"for name in names", "Ana, Ben, and Cleo", "The loop visited all three names."}},
        .search      = "control flow",
        .video       = "idDn87XG3_q",
    });

    add(chapter, {
        .id = "CH6L3", .number = 3, .title = "Simple while loop",
        .instruction = "A while loop repeats as long as its condition is true. Loop while loop is less than 3.",
        .code = R"~(var loop = 0
while «loop < 3» {
   loop += 1
}
// the loop stops when the condition is false
print("Loops completed = \(loop)"))~",
        .accepted    = {"loop<3"},
        .success     = "The condition was checked before every round.",
        .hint        = {"Stuck? Break it down!", "1. Compare loop with 3\n2. loop < 3"},
        .placeholder = " ? ",
        .words       = {{"=", "<", "3", "2"}},
        .colors      = {{INSTR, "while", pink}, {INSTR, "3", purple}},
        .colorCount  = 15,
        .debugger    = true,
        .outputs     = {{"3", "Loops completed = 3", "loop went 0, 1, 2 and stopped when it reached 3."}},
        .search      = "control flow",
        .video       = "_xbMtEPO6Uk",
    });

    add(chapter, {
        .id = "CH6L4", .number = 4, .title = "While loops",
        .instruction = "Keep walking while there is distance left: write the condition.",
        .code = R"~(var distanceInSteps = 1000
var steps = 0
while«distanceInSteps > 0»{
   distanceInSteps -= 1
   steps += 1
}
print("Steps taken = \(steps)"))~",
        .accepted    = {"steps < 1000"},
        .success     = "You walked all the way!",
        .hint        = {"Stuck?  Break it down.", "1. Walk while distanceInSteps is above 0\n2. distanceInSteps > 0"},
        .placeholder = "condition",
        .words       = {{"=", ">", "0"}},
        .colors      = {{INSTR, "while", pink}},
        .colorCount  = 19,
        .debugger    = true,
        .outputs     = {{"distanceInSteps > 0", "Steps taken = 1000", "The loop ran until no distance was left."},
                        {"steps < 1000", "Steps taken = 1000", "Counting the steps works just as well."}},
        .video       = "zYuF0ie9Pu2",
    });

    add(chapter, {
        .id = "CH6L5", .number = 5, .title = "Closed vs. open range",
        .instruction = "... is a closed range (includes the end) and ..< a half-open range (stops before it). Pick one.",
        .code = R"(let endOfRange = 9
for number in 1«...»endOfRange {
   print(number, terminator: "")
})",
        .accepted    = {"..<"},
        .success     = "Ranges decide exactly where a loop starts and stops.",
        .hint        = {"BUG", "1. Closed range: ...\n2. Half-open range: ..<"},
        .placeholder = " ? ",
        .words       = {{".", "<"}},
        .colors      = {{INSTR, "...", pink}, {INSTR, "..<", pink}, {L2, "for", pink}, {L2, "endOfRange", project},
                        {L3, "print", pink}},
        .colorCount  = 14,
        .debugger    = true,
        .outputs     = {{"...", "123456789", "A closed range includes its last value, 9."},
                        {"..<", "12345678", "A half-open range stops before its last value, so 9 is left out."}},
        .search      = "control flow",
        .video       = "njHkAm1_5wD",
    });

    add(chapter, {
        .id = "CH6L6", .number = 6, .title = "Repeat while",
        .instruction = "repeat while runs its body first and checks afterwards. Start number at 0, 3 or 9 and see what happens.",
        .code = R"(var number =«0»
repeat {
   print(number, terminator: " ")
   number += 1
} while number < 3)",
        .accepted    = {"3", "9"},
        .success     = "repeat while always runs at least once.",
        .hint        = {"BUG", "1. Set number to 0, 3 or 9\n2. Run and compare what is printed"},
        .placeholder = " ? ",
        .words       = {{"0", "3", "9"}},
        .colors      = {{INSTR, "repeat while", pink}, {INSTR, "0", purple}, {L1, "var", pink}, {L2, "repeat", pink},
                        {L5, "while", pink}, {ERROR, "number", project}},
        .colorCount  = 20,
        .debugger    = true,
        .outputs     = {{"0", "0 1 2", "The loop ran three times, until number reached 3."},
                        {"3", "3", "The body ran once, then number < 3 was false and the loop stopped."},
                        {"9", "9", "The body ran once, then number < 3 was false and the loop stopped."}},
        .search      = "control flow",
        .video       = "r16EpLLJIVG",
    });

    add(chapter, {
        .id = "CH6L7", .number = 7, .title = "While A && B",
        .instruction = "var temperature = 18. Heat the house while it is colder than 21 degrees AND someone is at home.",
        .code = R"(var temperature = 18
let atHome = true
// heat only while it is cold AND someone is home
while temperature < 21«&&»atHome {
   print("The heater is running")
   temperature += 3
})",
        .success     = "Both conditions had to be true for the loop to run.",
        .hint        = {"Stuck? Break it down.", "1. Both conditions must hold\n2. Join them with &&"},
        .placeholder = " ? ",
        .words       = {{"+", "&", "|"}},
        .colors      = {{INSTR, "AND", comment}, {INSTR, "21", purple}},
        .colorCount  = 24,
        .debugger    = true,
        .outputs     = {{"&&", "The heater is running", "18 is below 21 and someone is home, both true, so it heats once; at 21 it stops."}},
        .search      = "control flow",
        .video       = "Hz4FxFEtKyP",
    });

    add(chapter, {
        .id = "CH6L8", .number = 8, .title = "While A || B",
        .instruction = "Ask for a rating while the average rating is below 5 OR there are fewer than 50 reviews.",
        .code = R"(var avgRating = 4.5
var reviews = 48
// ask while ratings are low OR reviews are few
while«avgRating < 5 || reviews < 50»{
   print("Please rate this app")
   avgRating = 5; reviews = 50
})",
        .accepted    = {"reviews < 50 || avgRating < 5", "reviews<50 || avgRating<5", "avgRating<5 || reviews<50"},
        .success     = "One true condition is enough to keep an || loop going.",
        .hint        = {"Stuck? Break it down!", "1. avgRating < 5\n2. || reviews < 50"},
        .placeholder = " ? ",
        .words       = {{"<", "&", "|", "5", "0"}},
        .colors      = {{INSTR, "OR", comment}, {INSTR, "5", purple}, {INSTR, "50", purple}},
        .colorCount  = 23,
        .debugger    = true,
        .outputs     = {{"avgRating < 5 || reviews < 50", "Please rate this app", "The rating was below 5, so one condition was true and the || loop ran once."},
                        {"reviews < 50 || avgRating < 5", "Please rate this app", "The rating was below 5, so one condition was true and the || loop ran once."},
                        {"reviews<50 || avgRating<5", "Please rate this app", "The rating was below 5, so one condition was true and the || loop ran once."},
                        {"avgRating<5 || reviews<50", "Please rate this app", "The rating was below 5, so one condition was true and the || loop ran once."}},
        .search      = "control flow",
        .video       = "iYGFDm7ena8",
    });

    add(chapter, {
        .id = "CH6L9", .number = 9, .title = "Challenge 1/5",
        .instruction = "Challenge: collect the odd numbers from 1 to 100. First create oddNumbers, an empty array of Int.",
        .code = R"(«var oddNumbers = [Int]()»)",
        .accepted    = {"var oddNumbers = [ Int ]()"},
        .success     = "Step 1 of 5: an empty array, ready for numbers.",
        .hint        = {"Oh no!", "1. var oddNumbers =\n2. [Int]()"},
        .placeholder = " ? ",
        .words       = {{"[", "(", "=", ")", "]"}},
        .colors      = {{INSTR, "oddNumbers", project}},
        .colorCount  = 4,
        .outputs     = silentKeys({"var oddNumbers = [Int]()", "var oddNumbers = [ Int ]()"}),
        .video       = "D5VfLDpgyyj",
    });

    add(chapter, {
        .id = "CH6L10", .number = 10, .title = "Challenge 2/5",
        .instruction = "Loop over every number from 1 to 100.",
        .code = R"(var oddNumbers = [Int]()
«for number in 1...100»{)",
        .accepted    = {"for number in 1 ... 100"},
        .success     = "Step 2 of 5: the loop visits 1 to 100.",
        .hint        = {"Oh no!", "1. for number in\n2. the closed range 1...100"},
        .placeholder = " ? ",
        .words       = {{"[", "(", "=", ")", "]"}},
        .colors      = {{INSTR, "1", purple}, {INSTR, "100", purple}},
        .colorCount  = 8,
        .outputs     = silentKeys({"for number in 1...100", "for number in 1 ... 100"}),
        .video       = "Vw5HanSBeVR",
    });

    add(chapter, {
        .id = "CH6L11", .number = 11, .title = "Challenge 3/5",
        .instruction = "Inside the loop, test for odd numbers with %: the remainder of a division by 2 is not 0.",
        .code = R"(var oddNumbers = [Int]()
for number in 1...100 {
   «if number % 2 != 0»{)",
        .success     = "Step 3 of 5: only odd numbers pass the test.",
        .hint        = {"Oh no!", "1. if number % 2\n2. != 0"},
        .placeholder = " ? ",
        .words       = {{"%", "!", "=", "0", "2"}},
        .colors      = {{INSTR, "%", pink}},
        .colorCount  = 11,
        .outputs     = silentKeys({"if number % 2 != 0"}),
        .video       = "sfAGeAbP0Vx",
    });

    add(chapter, {
        .id = "CH6L12", .number = 12, .title = "Challenge 4/5",
        .instruction = "Add each odd number to oddNumbers.",
        .code = R"(var oddNumbers = [Int]()
for number in 1...100 {
   if number % 2 != 0 {
       «oddNumbers.append(number)»)",
        .accepted    = {"oddNumbers += [number]"},
        .success     = "Step 4 of 5: the odd numbers are collected.",
        .hint        = {"Oh no!", "1. oddNumbers.append( )\n2. number inside"},
        .placeholder = " ? ",
        .words       = {{"(", "+", "=", ".", ")"}},
        .colors      = {{INSTR, "oddNumbers", project}},
        .colorCount  = 11,
        .outputs     = silentKeys({"oddNumbers.append(number)", "oddNumbers += [number]"}),
        .video       = "NjAe_9i0mYt",
    });

    add(chapter, {
        .id = "CH6L13", .number = 13, .title = "Challenge 5/5",
        .instruction = "Print the last odd number. last is an optional, so unwrap it with !",
        .code = R"(var oddNumbers = [Int]()
for number in 1...100 {
   if number % 2 != 0 {
       oddNumbers.append(number)
   }
}
«print(oddNumbers.last!)»)",
        .accepted    = {"print( oddNumbers.last! )"},
        .success     = "Challenge complete! 99 is the largest odd number up to 100.",
        .hint        = {"Oh no!", "1. print( )\n2. oddNumbers.last!"},
        .placeholder = " ? ",
        .words       = {{"(", ".", "!", ")"}},
        .colors      = {{INSTR, "last", blue}, {INSTR, "!", pink}},
        .colorCount  = 14,
        .debugger    = true,
        .outputs     = {{"print(oddNumbers.last!)", "99", "You built a whole program step by step."},
                        {"print( oddNumbers.last! )", "99", "You built a whole program step by step."}},
        .video       = "luYI0KN1gNT",
    });
}
// clang-format on
