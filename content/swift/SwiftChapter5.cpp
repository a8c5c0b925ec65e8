// Swift course, chapter 5: arrays: declaring, adding, removing, reading, counting, looping and four
// challenges.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

#include <utility>

using namespace content;
using namespace content::form;

namespace {

// Every lesson of this chapter shows its output through the answer-key dictionaries, with the other
// debugger texts empty.
Lesson::Ptr add(Chapter& chapter, LessonForm form) {
    form.blankDebugTexts = true;
    return addLesson(chapter, std::move(form));
}

} // namespace

// clang-format off
void buildSwiftChapter5(Chapter& chapter) {
    add(chapter, {
        .id = "CH5L1", .number = 1, .title = "What is an array?",
        .instruction = "An array holds many values of one type, in order, like var numbers: [Int]. Make var shoppingList an array of String values.",
        .code = R"(var shoppingList: [«String»])",
        .accepted    = {"String"},
        .success     = "var shoppingList: [String] is an array of Strings.",
        .hint        = {"Stuck? Break it down!", "1. The element type goes between the brackets of var shoppingList: [ ]\n2. The list holds text: String"},
        .placeholder = " ? ",
        .words       = {{"!", "?", ":"}},
        .colors      = {{INSTR, "String", blue}, {INSTR, "shoppingList", project},
                        {INSTR, "array", comment}, {SUCCESS, "[String]", blue}, {SUCCESS, "array", comment},
                        {ERROR, "brackets", comment}},
        .colorCount  = 16,
        .outputs     = {{"String", "[]", "var shoppingList: [String] holds Strings."}},
        .video       = "OEVHzc0X0AW",
    });

    add(chapter, {
        .id = "CH5L2", .number = 2, .title = "Initialize empty array",
        .instruction = "var shoppingList = [String] names the type: an array of String values. Create the empty array by adding () after its type.",
        .code = R"(var shoppingList = [String]«()»)",
        .success     = "var shoppingList = [String]() is an empty array of Strings, ready to be filled.",
        .hint        = {"BUG", "1. [String] is the type of var shoppingList\n2. () creates an empty array of it"},
        .placeholder = " ? ",
        .words       = {{"(", "=", ")"}},
        .colors      = {{INSTR, "()", pink}, {INSTR, "shoppingList", project},
                        {INSTR, "empty array", comment}, {SUCCESS, "empty", comment}, {ERROR, "[String]", blue}},
        .colorCount  = 16,
        .outputs     = {{"()", "[]", "var shoppingList: [String] is empty for now."}},
    });

    add(chapter, {
        .id = "CH5L3", .number = 3, .title = "Add item to array",
        .instruction = R"(var shoppingList = [String]() is empty. Add "oranges" to shoppingList with += and an array of one item, then print shows it.)",
        .code = R"(var shoppingList = [String]()
shoppingList«+= ["oranges"]»
print(shoppingList))",
        .accepted    = {R"(+= [ "oranges" ])", R"(+= ["oranges"])"},
        .hint        = {"BUG", "1. += adds to the array\n2. Put the item in brackets: [\"oranges\"]"},
        .placeholder = " ? ",
        .words       = {{"[", "+", "=", R"(")", "]"}},
        .colors      = {{INSTR, R"("oranges")", red}, {INSTR, "+=", pink}},
        .colorCount  = 15,
        .debugger    = true,
        .outputs     = {{"+=", R"(["oranges"])", "+= adds the items of one array to the end of another."}},
        .video       = "IRh_JUqBlIF",
    });

    add(chapter, {
        .id = "CH5L4", .number = 4, .title = "Add multiple items to an array",
        .instruction = R"(var shoppingList = ["oranges"] has one item. Add "bread" and "butter" in one go, separated by a comma, so print shows all three.)",
        .code = R"(var shoppingList = ["oranges"]
shoppingList«+= ["bread","butter"]»
print(shoppingList))",
        .accepted    = {R"(+= ["bread", "butter"])"},
        .success     = R"(Two items added at once: var shoppingList now holds "oranges", "bread" and "butter".)",
        .hint        = {"BUG", "1. += [ ]\n2. Put both items inside, separated by a comma"},
        .placeholder = " ? ",
        .words       = {{"+", "=", R"(")", "[", "]"}},
        .colors      = {{INSTR, R"("bread")", red}, {INSTR, R"("butter")", red}},
        .colorCount  = 16,
        .outputs     = {{R"(+= ["bread","butter"])", R"(["oranges", "bread", "butter"])", R"(Two items added at once: var shoppingList now holds "oranges", "bread" and "butter".)"},
                        {R"(+= ["bread", "butter"])", R"(["oranges", "bread", "butter"])", R"(Two items added at once: var shoppingList now holds "oranges", "bread" and "butter".)"},
                        {R"(+=["bread","butter"])", R"(["oranges", "bread", "butter"])", R"(Two items added at once: var shoppingList now holds "oranges", "bread" and "butter".)"},
                        {R"(+= [ "bread", "butter" ])", R"(["oranges", "bread", "butter"])", R"(Two items added at once: var shoppingList now holds "oranges", "bread" and "butter".)"},
                        {R"(+=["bread", "butter"])", R"(["oranges", "bread", "butter"])", R"(Two items added at once: var shoppingList now holds "oranges", "bread" and "butter".)"}},
        .video       = "XZ53Ncqe28-",
    });

    add(chapter, {
        .id = "CH5L5", .number = 5, .title = "Remove last item from array",
        .instruction = R"(var members = ["Ana", "Ben", "Cleo"]. Cleo left the team: remove the last of the members with removeLast(), so print shows the rest.)",
        .code = R"(var members = ["Ana", "Ben", "Cleo"]
«members.removeLast()»
print(members))",
        .hint        = {"BUG", "1. Start with the array: members\n2. Call .removeLast()"},
        .placeholder = " ? ",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "removeLast()", blue}, {INSTR, "Cleo", red}},
        .colorCount  = 15,
        .debugger    = true,
        .outputs     = {{"members.removeLast()", R"(["Ana", "Ben"])", "removeLast() takes the last item off the array."}},
        .video       = "ajY75FnCttn",
    });

    add(chapter, {
        .id = "CH5L6", .number = 6, .title = "Add new item to end of array",
        .instruction = R"(Dev joins the team. Add "Dev" to the end of var members with append.)",
        .code = R"(var members = ["Ana", "Ben", "Cleo"]
«members.append("Dev")»
print(members))",
        .accepted    = {R"(members += ["Dev"])", R"(members+=["Dev"])", R"(members.append( "Dev" ))",
                        R"(members += [ "Dev" ])"},
        .hint        = {"BUG", "1. members.append( )\n2. Put \"Dev\" inside the parentheses"},
        .placeholder = "Tap to answer",
        .words       = {{"+", "=", R"(")", ".", "(", ")"}},
        .colors      = {{INSTR, "append", blue}, {INSTR, R"("Dev")", red}},
        .colorCount  = 14,
        .debugger    = true,
        .outputs     = {{R"(members.append("Dev"))", R"(["Ana", "Ben", "Cleo", "Dev"])", "append adds one item to the end of the array."},
                        {R"(members.append( "Dev" ))", R"(["Ana", "Ben", "Cleo", "Dev"])", "append adds one item to the end of the array."},
                        {R"(members += "Dev")", R"(["Ana", "Ben", "Cleo", "Dev"])", "append adds one item to the end of the array."},
                        {R"(["Dev"])", R"(["Ana", "Ben", "Cleo", "Dev"])", "+= with an array of one item works as well as append."},
                        {R"([ "Dev" ])", R"(["Ana", "Ben", "Cleo", "Dev"])", "+= with an array of one item works as well as append."}},
        .video       = "6kfaqDeMqG3",
    });

    add(chapter, {
        .id = "CH5L7", .number = 7, .title = "Accessing items in an array",
        .instruction = "var tools holds two tools. Print one of them by its index: 0 or 1.",
        .code = R"(var tools = ["hammer", "drill"]
print(«tools[1]»))",
        .accepted    = {"tools[0]"},
        .hint        = {"Stuck? Break it down.", "1. Use square brackets after the name: tools[ ]\n2. Arrays start at index 0"},
        .placeholder = "Tap to answer",
        .words       = {{"[", "]", "0", "1"}},
        .colors      = {{INSTR, "tools", project}, {L1, "var", pink}, {L1, R"("hammer")", red}, {L1, R"("drill")", red},
                        {L2, "print", blue}},
        .colorCount  = 10,
        .debugger    = true,
        .outputs     = {{"tools[0]", "hammer", "Good! Before reading an index, make sure the array has that many items, or the app crashes."},
                        {"tools[1]", "drill", "Good! Before reading an index, make sure the array has that many items, or the app crashes."}},
        .video       = "omjMyXHCabM",
    });

    add(chapter, {
        .id = "CH5L8", .number = 8, .title = "Array with range of numbers",
        .instruction = "Create myNumbers as an empty array of Int; line 2 fills it with the range 1...10.",
        .code = R"(var myNumbers«= [Int]()»
myNumbers.append(contentsOf: 1...10)
print(myNumbers))",
        .accepted    = {"= [ Int ]()"},
        .hint        = {"Stuck? Break it down.", "1. = [Int]\n2. () to create it"},
        .placeholder = " ? ",
        .words       = {{"[", "]", "=", "(", ")"}},
        .colors      = {{INSTR, "Int", blue}, {INSTR, "1...10", purple}},
        .colorCount  = 11,
        .debugger    = true,
        .outputs     = {{"= [Int]()", "[1, 2, 3, 4, 5, 6, 7, 8, 9, 10]", "1...10 is a range: every whole number from 1 to 10."},
                        {"= [ Int ]()", "[1, 2, 3, 4, 5, 6, 7, 8, 9, 10]", "1...10 is a range: every whole number from 1 to 10."}},
        .video       = "6JOF8EFd0Nh",
    });

    add(chapter, {
        .id = "CH5L9", .number = 9, .title = "Array count",
        .instruction = "How many even numbers are there from 1 to 10? Print the count of evenNumbers.",
        .code = R"(var evenNumbers = [Int]()
for number in 1...10 {
   if number % 2 == 0 {
      evenNumbers.append(number)
   }
}
«print(evenNumbers.count)»)",
        .accepted    = {"print( evenNumbers.count )"},
        .hint        = {"Stuck? Break it down.", "1. print( )\n2. evenNumbers.count inside"},
        .wrong       = {{"Print first", "Start with print, then put evenNumbers.count inside.", "e", true}},
        .placeholder = " ? ",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "count", blue}, {INSTR, "evenNumbers", project}},
        .colorCount  = 17,
        .debugger    = true,
        .outputs     = {{"print(evenNumbers.count)", "5", "count tells how many items an array holds."},
                        {"print( evenNumbers.count )", "5", "count tells how many items an array holds."}},
        .video       = "cy_1kGD2VD_",
    });

    add(chapter, {
        .id = "CH5L10", .number = 10, .title = "Iterating over array",
        .instruction = "A for-in loop visits every item. Name the loop constant student.",
        .code = R"(let students = ["Ana", "Ben", "Cleo"]
for «student»in students {
   if student == "Cleo" {
      print(student + " is in the class")
   }
})",
        .hint        = {"What happened?", "1. The loop names each item as it visits it\n2. Call it student"},
        .placeholder = " ? ",
        .colors      = {{INSTR, "for-in", pink}, {INSTR, "student", project}},
        .colorCount  = 17,
        .debugger    = true,
        .outputs     = {{"student", "Cleo is in the class", "The loop looked at every student and found Cleo."}},
        .video       = "eR1UYzaLiA_",
    });

    add(chapter, {
        .id = "CH5L11", .number = 11, .title = "Remove at index",
        .instruction = "Remove Ben, the item at index 1, with remove(at:).",
        .code = R"(var team = ["Ana", "Ben", "Cleo"]
«team.remove(at: 1)»
print(team))",
        .accepted    = {"team.remove(at:1)"},
        .hint        = {"What happened?", "1. team.remove(at: )\n2. Ben is at index 1"},
        .wrong       = {{"Wrong Index", "Index 2 is Cleo. Counting starts at 0, so Ben is at index 1.", "team.remove(at: 2)", true},
                        {"Use . syntax", "Start with the array, then a dot: team.remove(at: 1)", "r", true}},
        .placeholder = " ? ",
        .words       = {{"(", ".", ":", ")"}},
        .colors      = {{INSTR, "remove(at:)", blue}, {INSTR, "Ben", red}},
        .colorCount  = 12,
        .debugger    = true,
        .outputs     = {{"1", R"(["Ana", "Cleo"])", "Ben is gone; Cleo moved up to index 1."}},
        .video       = "zNyD7CHLn_x",
    });

    add(chapter, {
        .id = "CH5L12", .number = 12, .title = "Change items",
        .instruction = R"(Change "hut" in words to "hat" by assigning to its index.)",
        .code = R"(var words = ["cat", "bat", "hut"]
«words[2]»= "hat"
print(words))",
        .hint        = {"Stuck? Break it down!", "1. Indexes start at 0, so \"hut\" is at 2\n2. Assign the new value: words[2]"},
        .wrong       = {{"Wrong index", "Counting starts at 0: \"hut\" is at index 2.", "1", true},
                        {"Wrong index", "Counting starts at 0: \"hut\" is at index 2.", "3", true}},
        .placeholder = " ? ",
        .words       = {{"[", ".", "]"}},
        .colors      = {{INSTR, "words", project}, {INSTR, R"("hut")", red}, {L2, R"("hat")", red}, {L3, "print", blue}},
        .colorCount  = 13,
        .debugger    = true,
        .outputs     = {{"words[2]", R"(["cat", "bat", "hat"])", "Assigning to an index replaces the item there."}},
        .video       = "C-1hsYgBds1",
    });

    add(chapter, {
        .id = "CH5L13", .number = 13, .title = "Insert items",
        .instruction = R"(Insert "3rd" into rank at index 2, between "2nd" and "4th": var rank = ["1st", "2nd", "4th"] then holds four items, and print shows them.)",
        .code = R"(var rank = ["1st", "2nd", "4th"]
rank.insert(«"3rd", at: 2»)
print(rank))",
        .accepted    = {R"("3rd", at:2)", R"("3rd",at:2)"},
        .hint        = {"Need help?", "1. First the item: \"3rd\"\n2. Then where: at: 2"},
        .wrong       = {{"Wrong Syntax", "\"3rd\" is text, so it needs quotes; then add at: 2", "3", true}},
        .placeholder = " ? ",
        .words       = {{R"(")", ",", ":", "2", "3"}},
        .colors      = {{INSTR, R"("3rd")", red}, {INSTR, "2", purple}},
        .colorCount  = 20,
        .debugger    = true,
        .outputs     = {{"at:", R"(["1st", "2nd", "3rd", "4th"])", R"(insert puts "3rd" at index 2 and moves "4th" along.)"}},
        .video       = "ghxY5OokvQy",
    });

    add(chapter, {
        .id = "CH5L14", .number = 14, .title = "Challenge 1",
        .instruction = "Create var numbers, an empty array of Int? values: each item may be an Int or nil.",
        .code = R"(«var numbers = [Int?]()»
numbers += [1, nil, 3]
print(numbers))",
        .accepted    = {"var numbers = [ Int? ]()"},
        .hint        = {"Need help?", "1. var numbers =\n2. an array of optional Int values: [Int?]\n3. () to create it"},
        .placeholder = " Tap to answer ",
        .words       = {{"[", "(", "?", "=", ")", "]"}},
        .colors      = {{INSTR, "nil", pink}, {INSTR, "numbers", project}},
        .colorCount  = 14,
        .debugger    = true,
        .outputs     = {{"var numbers = [Int?]()", "[Optional(1), nil, Optional(3)]", "An array of optionals can hold nil between its values."},
                        {"var numbers = [ Int? ]()", "[Optional(1), nil, Optional(3)]", "An array of optionals can hold nil between its values."}},
        .video       = "x7eNWVQ4vna",
    });

    add(chapter, {
        .id = "CH5L15", .number = 15, .title = "Challenge 2",
        .instruction = "Declare the constant everyone that joins groupA and groupB.",
        .code = R"(let groupA = ["Ana", "Ben"]
let groupB = ["Cleo", "Dev"]
«let everyone = groupA + groupB»
print(everyone))",
        .accepted    = {"let everyone = groupB + groupA"},
        .hint        = {"Need help?", "1. let everyone =\n2. + joins two arrays: groupA + groupB"},
        .wrong       = {{"Wrong Syntax", "everyone never changes: declare it with let.", "v", true}},
        .placeholder = " Tap to answer ",
        .words       = {{"+", "="}},
        .colors      = {{INSTR, "everyone", project}, {INSTR, "groupA", project}, {INSTR, "groupB", project}},
        .colorCount  = 17,
        .debugger    = true,
        .outputs     = {{"let everyone = groupA + groupB", R"(["Ana", "Ben", "Cleo", "Dev"])", "+ joins two arrays, the left one first."},
                        {"let everyone = groupB + groupA", R"(["Cleo", "Dev", "Ana", "Ben"])", "+ joins two arrays, the left one first, so the order changed."}},
        .video       = "kJkS1pAWTN3",
    });

    add(chapter, {
        .id = "CH5L16", .number = 16, .title = "Challenge 3",
        .instruction = "Check every ingredient for nuts: loop over ingredients, calling each one item.",
        .code = R"(let ingredients = ["flour", "sugar", "eggs"]
var hasNuts = false
«for item in ingredients»{
   if item == "nuts" {
      hasNuts = true
   }
}
print(hasNuts))",
        .hint        = {"Need help?", "1. for item in\n2. ingredients"},
        .wrong       = {{"Wrong Syntax", "A loop starts with for, not var: for item in ingredients", "v", true}},
        .placeholder = " Tap to answer ",
        .words       = {{":", "{", "("}},
        .colors      = {{INSTR, "item", project}, {INSTR, "ingredients", project}},
        .colorCount  = 24,
        .debugger    = true,
        .outputs     = {{"for item in ingredients", "false", "No item is \"nuts\", so hasNuts stays false."}},
        .video       = "lg8zV5yPU8d",
    });

    add(chapter, {
        .id = "CH5L17", .number = 17, .title = "Challenge 4",
        .instruction = "numbers[0] crashes on an empty array. Read it only if numbers is not empty.",
        .code = R"(var numbers = [Int]()
var total = 0
«if !numbers.isEmpty»{
   total = numbers[0]
}
print(total))",
        .accepted    = {"if numbers.count != 0", "if numbers.isEmpty != true", "if numbers.isEmpty == false"},
        .hint        = {"Need help?", "1. isEmpty is true for an empty array\n2. if !numbers.isEmpty"},
        .wrong       = {{"Wrong Syntax", "This is a test, not a declaration: start with if.", "v", true}},
        .placeholder = " Tap to answer ",
        .words       = {{".", "!", "="}},
        .colors      = {{INSTR, "numbers[0]", project}, {INSTR, "not", comment}},
        .colorCount  = 21,
        .debugger    = true,
        .outputs     = {{"if", "0", "numbers is empty, so nothing is read and total stays 0. No crash!"}},
        .video       = "0FZfWe7ihGy",
    });

    add(chapter, {
        .id = "CH5L18", .number = 18, .title = "Sum of Numbers",
        .instruction = "Write for number in numbers to add up all the numbers, one number at a time.",
        .code = R"(let numbers = [12, 20, 25]
var sum = 0
«for number in numbers»{
   sum += number
}
print(sum))",
        .accepted    = {kShortcutAnswer},
        .hint        = {"Need help?", "1. for number in\n2. numbers"},
        .wrong       = {{"Wrong Syntax", "A loop starts with for: for number in numbers", "v", true}},
        .placeholder = " Tap to answer ",
        .words       = {{"!", "="}},
        .colors      = {{INSTR, "numbers", project}, {INSTR, "number", project}},
        .colorCount  = 20,
        .debugger    = true,
        .outputs     = {{"for", "57", "for number in numbers added 12 + 20 + 25 = 57. Loops are great for adding things up."},
                        {kShortcutAnswer, "57", "for number in numbers added 12 + 20 + 25 = 57. Loops are great for adding things up."}},
    });
}
// clang-format on
