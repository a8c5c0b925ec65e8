// Swift course, chapter 23: the higher-order functions map, filter, reduce and flatMap, their closure
// forms and how they chain.
#include "content/LessonForm.hpp"
#include "content/swift/StoredRules.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

namespace {

// The lesson's record with the settings every lesson of the chapter shares: the debugger view prints
// the fixed value, whatever right answer was typed.
LessonForm printing(LessonForm form) {
    form.placeholder = "Tap to answer";
    form.debugger = true;
    form.sameMessage = true;
    return form;
}

// Rules the first lessons carry over from the chapter before; they name nothing these lessons show.
const std::vector<ColorRule> kCarriedLine2 = {
    {L2, "let", pink},      {L2, "Int", blue},    {L2, "struct", pink},   {L2, "bool", pink},
    {L2, "true", pink},     {L2, "false", pink},  {L2, "if", pink},       {L2, "var", pink},
    {L2, "let", pink},      {L2, "string", blue}, {L2, R"("Ravo")", red}, {L2, R"("Tesmo")", red},
    {L2, R"("Quila")", red}};
const std::vector<ColorRule> kCarriedLine3 = {
    {L3, "Int", blue},    {L3, "struct", blue}, {L3, " Generic ", project}, {L3, "true", pink},
    {L3, "false", pink},  {L3, "if", pink},     {L3, "var", pink},          {L3, "let", pink},
    {L3, "string", blue}, {L3, R"("Hi")", red}, {L3, "5", purple}};

std::vector<ColorRule> joined(std::initializer_list<std::vector<ColorRule>> parts) {
    std::vector<ColorRule> rules;
    for (const auto& part : parts)
        rules.insert(rules.end(), part.begin(), part.end());
    return rules;
}

} // namespace

// clang-format off
void buildSwiftChapter23(Chapter& chapter) {
    const std::vector<ColorRule> higherOrder = {{INSTR, "filter", blue}, {INSTR, "reduce", blue}, {INSTR, "collection", blue},
                                                {INSTR, "Array", blue}, {INSTR, "Dictionary", blue}};
    const std::vector<ColorRule> numbersLine = {{L1, "let", pink}, {L1, "1", purple}, {L1, "2", purple}, {L1, "3", purple}, {L1, "4", purple}};
    addLesson(chapter, printing({
        .id = "CH23L1", .number = 1, .title = "Higher order functions",
        .instruction = "Map, filter, and reduce are functions that operate on collection types such as Array and Dictionary.  Without these higher order functions, we have to loop through arrays in order to access each item in the collection.  In line 3, add the missing code to loop through the numbers array.",
        .code = R"(let numbers = [1,2,3,4]
var squared: [Int] = []
«for number in numbers»{
   squared.append(number * number)
}
print(squared))",
        .padTo       = 8,
        .accepted    = {kShortcutAnswer},
        .success     = "Map, filter, and reduce allow us to loop over a collection without having to manually create the for in loop.",
        .hint        = {"Stuck? Break it down!", "1. Create a for x in y loop \n 2. The iterator x is called number \n (see line 4).  \n 3. The array y is called numbers \n for number in numbers"},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .colors      = joined({{{INSTR, "Map", blue}, {INSTR, "In line 3, add the missing code to loop through the numbers array.", comment}},
                               higherOrder, numbersLine, kCarriedLine2,
                               {{L3, "func", pink}}, kCarriedLine3,
                               {{L4, "squared", project}, {L4, "append", blue}, {L4, "Species", project}, {L4, "Human", project},
                                {L4, "2", purple}, {L5, "var", pink}, {L5, "Human", project}, {L6, "print", blue},
                                {L6, "squared", project}, {SUCCESS, "Map", blue}, {SUCCESS, "filter", blue},
                                {SUCCESS, "reduce", blue}, {ERROR, "for number in numbers", comment},
                                {ERROR, "printAll(items: myStrings)", comment}, {ERROR, "Shape", project}}}),
        .autoColor   = false,
        .printValue  = "[1, 4, 9, 16]",
        .video       = "e8-D-l2TnlK",
    }));

    addLesson(chapter, printing({
        .id = "CH23L2", .number = 2, .title = "Map function",
        .instruction = "Use the map function to loop over a collection and apply the same operation to each element in the collection.  In line 8, call the map function on numbers.",
        .code = R"(let numbers = [1,2,3,4]
var squared: [Int] = []
// Old for in loop
for number in numbers {
   squared.append(number * number)
}
// Map function
var squared2 = «numbers.map»{ $0 * $0 }
print(squared2))",
        .accepted    = {kShortcutAnswer},
        .success     = "The syntax of the map function can be very confusing at first.  The map function uses the closure syntax that we introduced in Chapter 16.  $0 is shorthand for accessing the first item in the array.",
        .hint        = {"Stuck? Break it down!", "1. Call the map function on numbers \n 2. Use dot notation to access the map method \n numbers.map"},
        .words       = {{"!", "."}},
        .colors      = joined({{{INSTR, "map", blue}, {INSTR, "In line 8, call the map function on numbers.", comment}},
                               higherOrder, numbersLine, kCarriedLine2,
                               {{L3, "// Old for in loop", comment}}, kCarriedLine3,
                               {{L4, "for", pink}, {L4, "in", pink}, {L4, "numbers", project}, {L5, "squared", project},
                                {L5, "append", blue}, {L7, "// Map function", comment}, {L8, "var", pink}, {L9, "print", blue},
                                {L9, "squared2", project}, {SUCCESS, "map", blue}, {SUCCESS, "filter", blue},
                                {SUCCESS, "reduce", blue}, {ERROR, "numbers.map", comment}, {ERROR, "map", blue},
                                {ERROR, "numbers", project}}}),
        .autoColor   = false,
        .printValue  = "[1, 4, 9, 16]",
        .video       = "9z3nmEhpNZ8",
    }));

    addLessonStoring(chapter, 78, printing({
        .id = "CH23L3", .number = 3, .title = "Map closure syntax",
        .instruction = "The closure you give map can be written in a long form and in ever shorter ones; lines 4 to 9 all do the same. In line 2, create a variable result as an empty array of Int.",
        .code = R"(let arr = [1,2,3,4]
«var result = [Int]()»
// Each line below does the same thing
result = arr.map( {(x: Int) -> Int in return x + 1  })
result = arr.map( { (x: Int) in return x + 1 })
result = arr.map( { x in x + 1 })
result = arr.map( { x in return x + 1})
result = arr.map( { $0 + 1 })
result = arr.map { $0 + 1 }
print(result))",
        .accepted    = {"var result:[Int]=[]", "var result: [Int]=[]", "var result:[Int] = []", "var result: [ Int ] = []", "var result:[ Int ]=[]", "var result = [Int]()", kShortcutAnswer},
        .success     = "When the closure is the last or only argument, the parentheses can be left out, as in line 9.",
        .hint        = {"Stuck? Break it down!", "1. Use var \n 2. Name it result \n 3. Its type is an array of Int \n 4. Initialize it empty \n var result = [Int]() \n var result: [Int] = []"},
        .words       = {{"[", "(", "=", ")", "]"}},
        .colors      = {{INSTR, "map", blue}, {INSTR, "In line 2, create a variable result as an empty array of Int.", comment},
                        {SUCCESS, "line 9", comment}, {ERROR, "var result = [Int]()", comment},
                        {ERROR, "var result: [Int] = []", comment}},
        .printValue  = "[2, 3, 4, 5]",
        .video       = "agD8b_q39r3",
    }));

    addLessonStoring(chapter, 78, printing({
        .id = "CH23L4", .number = 4, .title = "Map to Print",
        .instruction = "map can also just do something with each name, such as print it; $0 stands for the current name. In line 2, complete the shorthand closure that prints every name.",
        .code = R"(let names = ["Amy","Bob","Drew"]
names.map «{ print($0) }»)",
        .accepted    = {"{print($0)}", "{ print($0)}", "{ print( $0 ) }", "{ print( $0)}", "{print( $0)}", "{print( $0) }", "({print( $0) })", "({print($0)})", kShortcutAnswer},
        .success     = "map is a fast way to go over every item. The shorthand $0 grows familiar soon.",
        .hint        = {"Stuck? Break it down!", "1. Add a closure: { } \n 2. Call print inside it \n 3. Print the current member: $0 \n { print($0) }"},
        .words       = {{"{", "(", "$", ")", "}"}},
        .colors      = {{INSTR, "map", blue}, {INSTR, "In line 2, complete the shorthand closure that prints every name.", comment},
                        {INSTR, "$0", comment}, {L2, "map", blue}, {L2, "names", project}, {SUCCESS, "map", blue},
                        {SUCCESS, "$0", comment}, {ERROR, "{ print($0) }", comment}, {ERROR, "map", blue},
                        {ERROR, "numbers", project}},
        .printValue  = "Amy\nBob\nDrew",
        .video       = "7XpmzrS7i8R",
    }));

    addLessonStoring(chapter, 34, printing({
        .id = "CH23L5", .number = 5, .title = "Map with Strings",
        .instruction = "map works on strings just as well: here it takes the hashtag off every tag. In line 2, create cleanTags by calling map on tags.",
        .code = R"(let tags = ["#love","#voted","best"]
«var cleanTags = tags.map»{
   $0.replacingOccurrences(of: "#", with: "")}
print(cleanTags))",
        .accepted    = {"var cleanTags=tags.map", kShortcutAnswer},
        .success     = "$0 is the current member, and replacingOccurrences removed its hashtag.",
        .hint        = {"Stuck? Break it down!", "1. Create a variable cleanTags \n 2. Initialize it by calling map on tags \n var cleanTags = tags.map"},
        .words       = {{"=", "."}},
        .colors      = {{INSTR, "map", blue}, {INSTR, "In line 2, create cleanTags by calling map on tags.", comment},
                        {L3, "replacingOccurrences", blue}, {SUCCESS, "$0", comment}, {SUCCESS, "replacingOccurrences", blue},
                        {ERROR, "var cleanTags = tags.map", comment}},
        .printValue  = R"(["love", "voted", "best"])",
        .video       = "PkHbtp15l05",
    }));

    addLessonStoring(chapter, 34, printing({
        .id = "CH23L6", .number = 6, .title = "Map with Dictionary",
        .instruction = "map goes over a dictionary too; the closure gets each key and value. In line 2, create items by calling map on priceList.",
        .code = R"(let priceList = ["hammer": 2.00,"nail": 0.05]
«var items = priceList.map»{
   (key, value) in return key.capitalized }
print(items))",
        .accepted    = {"var items = priceList.map", kShortcutAnswer},
        .success     = "The closure used only the key. return is optional in a closure of a single expression. A dictionary has no order, so the names may come in either order.",
        .hint        = {"Stuck? Break it down!", "1. Create a variable items \n 2. Initialize it by calling map on priceList \n var items = priceList.map"},
        .words       = {{"=", "."}},
        .colors      = {{INSTR, "map", blue}, {INSTR, "In line 2, create items by calling map on priceList.", comment},
                        {INSTR, "dictionary", blue}, {L3, "capitalized", blue}, {L3, "in return", pink},
                        {SUCCESS, "return", pink}, {ERROR, "var items = priceList.map", comment}},
        .printValue  = R"(["Hammer", "Nail"])",
        .video       = "F2zVdfT1Aoi",
    }));

    addLessonStoring(chapter, 34, printing({
        .id = "CH23L7", .number = 7, .title = "Map challenge",
        .instruction = "Challenge: convert kilos to pounds; one kilo is about 2.2 pounds. In line 2, call map on kilos with a closure whose parameter is called kilo.",
        .code = R"(var kilos = [5.0,10,20,30]
var pounds =«kilos.map { kilo in kilo * 2.2 }»
print(pounds))",
        .accepted    = {"kilos.map { kilo in kilo * 2.2 }", "kilos.map {kilo in kilo * 2.2}", "kilos.map {kilo in kilo*2.2}", "kilos.map{ kilo in kilo * 2.2 }", "kilos.map{kilo in kilo * 2.2}", "kilos.map{kilo in kilo*2.2}", "kilos.map { kilo in return kilo * 2.2 }", "kilos.map {kilo in return kilo * 2.2}", "kilos.map {kilo in return kilo*2.2}", "kilos.map{ kilo in return kilo * 2.2 }", "kilos.map{kilo in return kilo * 2.2}", "kilos.map{kilo in return kilo*2.2}", "kilos.map ({ kilo in kilo * 2.2 })", "kilos.map ({kilo in kilo * 2.2})", "kilos.map ({kilo in kilo*2.2})", "kilos.map({ kilo in kilo * 2.2 })", "kilos.map({kilo in kilo * 2.2})", "kilos.map({kilo in kilo*2.2})", "kilos.map ({ kilo in return kilo * 2.2 })", "kilos.map ({kilo in return kilo * 2.2})", "kilos.map ({kilo in return kilo*2.2})", "kilos.map({ kilo in return kilo * 2.2 })", "kilos.map({kilo in return kilo * 2.2})", "kilos.map({kilo in return kilo*2.2})", kShortcutAnswer},
        .success     = "{ kilo in kilo * 2.2 } reads better than { $0 * 2.2 }: the name tells what the value is.",
        .hint        = {"Stuck? Break it down!", "1. Call map on kilos \n 2. Add the braces: { } \n 3. Name the parameter kilo, then in \n 4. Return kilo * 2.2 \n kilos.map { kilo in kilo * 2.2 }"},
        .words       = {{"{", ".", "*", "}"}},
        .colors      = {{INSTR, "map", blue}, {INSTR, "In line 2, call map on kilos with a closure whose parameter is called kilo.", comment},
                        {L2, "var", project}, {SUCCESS, "{ kilo in kilo * 2.2 }", comment}, {SUCCESS, "{ $0 * 2.2 }", comment},
                        {ERROR, "kilos.map { kilo in kilo * 2.2 }", comment}},
        .printValue  = "[11.0, 22.0, 44.0, 66.0]",
    }));

    addLessonStoring(chapter, 35, printing({
        .id = "CH23L8", .number = 8, .title = "Index & element of array with map",
        .instruction = "enumerated pairs a counter with each element, and map can turn each pair into a tuple. In line 2, declare arr as an array of (Int, Int) tuples.",
        .code = R"(let numbers = [5, 6, 7]
«var arr: [(Int, Int)]»
arr = numbers.enumerated().map { ($0, $1) }
print(arr))",
        .accepted    = {"var arr:[(Int,Int)]", "var arr:[ (Int, Int) ]", "var arr: [(Int,Int)]", kShortcutAnswer},
        .success     = "$0 is the index and $1 the element of each pair.",
        .hint        = {"Stuck? Break it down!", "1. Create the array: var arr \n 2. Add the colon \n 3. Set the tuple type in brackets: [(Int, Int)] \n var arr: [(Int, Int)]"},
        .words       = {{"{", "(", ",", ")", "}"}},
        .colors      = {{INSTR, "enumerated", blue}, {INSTR, "In line 2, declare arr as an array of (Int, Int) tuples.", comment},
                        {L2, "var", project}, {L3, "enumerated", blue}, {L3, "map", blue}, {SUCCESS, "$0", comment},
                        {SUCCESS, "index", comment}, {SUCCESS, "$1", comment}, {SUCCESS, "element", comment},
                        {ERROR, "var arr: [(Int, Int)]", comment}},
        .printValue  = "[(0, 5), (1, 6), (2, 7)]",
        .search      = "enumerated",
        .video       = "u7jqB3Qzy7q",
    }));

    addLessonStoring(chapter, 36, printing({
        .id = "CH23L9", .number = 9, .title = "Print dictionary keys with map",
        .instruction = "A closure over a dictionary receives each key and value as (key, value). In line 3, use map on inventory to put only its keys into items.",
        .code = R"(let inventory = ["apples":10,"bananas":20]
var items: [String] = []
items =«inventory.map { (key, value ) in key}»
print(items))",
        .accepted    = {"inventory.map { (key,value) in key }", "inventory.map { (key,value) in key}", "inventory.map {(key,value) in key}", "inventory.map {(key,value) in key }", "inventory.map {(key,value) in key}", "inventory.map { (key, value ) in return key}", "inventory.map { (key, value ) in return key}", "inventory.map { (key,value ) in return key}", "inventory.map {(key,value) in return key}", "inventory.map { (key,value) in return key }", "inventory.map { (key, value) in return key }", "inventory.map {(key, value ) in return key}", "inventory.map {(key, value ) in return key}", "inventory.map {(key,value ) in return key}", "inventory.map {(key,value) in return key}", "inventory.map {(key,value) in return key }", "inventory.map {(key, value) in return key }", "inventory.map { (key, value ) in key}", "inventory.map{ (key,value) in key }", "inventory.map{ (key,value) in key}", "inventory.map{(key,value) in key}", "inventory.map{(key,value) in key }", "inventory.map{(key,value) in key}", "inventory.map{ (key, value ) in return key}", "inventory.map{ (key, value ) in return key}", "inventory.map{ (key,value ) in return key}", "inventory.map{(key,value) in return key}", "inventory.map{ (key,value) in return key }", "inventory.map{ (key, value) in return key }", "inventory.map{ (key, value ) in key}", "inventory.map{(key, value ) in return key}", "inventory.map{(key, value ) in return key}", "inventory.map{(key,value ) in return key}", "inventory.map{(key,value) in return key}", "inventory.map{(key,value) in return key }", "inventory.map{(key, value) in return key }", "inventory.map { (key, value) in return key }", "inventory.map { (key, value) in key }", "inventory.map { (key, value) in return key }", kShortcutAnswer},
        .success     = "A dictionary closure takes {(key,value) in ...}; returning only the key gave the names. A dictionary has no order, so they may come in either order.",
        .hint        = {"Stuck? Break it down!", "1. Call map on inventory \n 2. Add the braces: { } \n 3. Pass (key, value) then in \n 4. Return only the key \n inventory.map { (key, value ) in key}"},
        .words       = {{"{", "(", ",", ")", "}"}},
        .colors      = {{INSTR, "map", blue}, {INSTR, "In line 3, use map on inventory to put only its keys into items.", comment},
                        {INSTR, "dictionary", blue}, {L2, "var", project}, {SUCCESS, "{(key,value) in ...}", comment},
                        {ERROR, "inventory.map { (key, value ) in key}", comment}},
        .printValue  = R"(["apples", "bananas"])",
        .video       = "ZK3xeyQn4gR",
    }));

    addLessonStoring(chapter, 33, printing({
        .id = "CH23L10", .number = 10, .title = "What does $0 and $1 mean?",
        .instruction = "In a closure, $0 is the first parameter and $1 the second. sorted(by:) hands its closure two letters at a time; sorting A to Z needs the first to be less than the next. In line 3, add the closure with $0 and $1.",
        .code = R"(var letters = ["A","C","B"]
var aToZ = letters // sorted(by: { closure })
aToZ = letters.sorted(by: { «$0 < $1»})
print(aToZ))",
        .accepted    = {kShortcutAnswer},
        .success     = "sorted(by: $0 < $1) put the letters A to Z. Many answers are acceptable here; on to another sorted example.",
        .hint        = {"Stuck? Break it down!", "1. The first parameter is $0 \n 2. The second parameter is $1 \n 3. A to Z means A < B \n $0 < $1"},
        .words       = {{"<", "$", ">"}},
        .colors      = {{INSTR, "sorted", blue}, {INSTR, "In line 3, add the closure with $0 and $1.", comment},
                        {L2, "var", project}, {L2, "// sorted(by: { closure })", comment}, {L3, "sorted", blue},
                        {SUCCESS, "sorted(by: $0 < $1)", comment}, {ERROR, "$0 < $1", comment}},
        .printValue  = R"(["A", "B", "C"])",
        .search      = "sorted",
        .video       = "BYYxYIYwXPS",
    }));

    addLessonStoring(chapter, 51, printing({
        .id = "CH23L11", .number = 11, .title = "Sorted closure syntax",
        .instruction = "Every line here sorts the list Z to A, from the longest closure to the shortest: the operator > alone. In line 7, print any of the sorted lists.",
        .code = R"(var list = ["A","C","B"]
var s1 = list.sorted(by:{ (a, b) in return a > b })
var s2 = list.sorted(by:{ a, b in return a > b })
var s3 = list.sorted(by:{ a, b in a > b })
var s4 = list.sorted(by:{ $0 > $1 })
var s5 = list.sorted(by: >)
«print(s1)»)",
        .accepted    = {"print(s2)", "print(s2)", "print(s3)", "print(s4)", "print(s5)", kShortcutAnswer},
        .success     = "All five lists are the same. Shorter is not always better: pick the form you read best.",
        .hint        = {"Stuck? Break it down!", "1. Print any of the lists \n print(s1)"},
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "sorted", blue}, {INSTR, "In line 7, print any of the sorted lists.", comment},
                        {L2, "sorted", blue}, {L3, "sorted", blue}, {L4, "sorted", blue}, {L5, "sorted", blue},
                        {L6, "sorted", blue}, {ERROR, "print(s1)", comment}},
        .printValue  = R"(["C", "B", "A"])",
        .video       = "GgYM9ENi2h5",
    }));

    addLessonStoring(chapter, 43, printing({
        .id = "CH23L12", .number = 12, .title = "Filter array",
        .instruction = "filter keeps the elements for which its closure gives true. In line 3, add the closure that keeps the odd numbers, using $0.",
        .code = R"(var list = [1,2,3,4,5,6,7,8,9]
var odds = list // filter { condition }
odds = list.filter { «$0 % 2 != 0»}
print(odds))",
        .accepted    = {kShortcutAnswer},
        .success     = "filter kept every number whose remainder of 2 is not 0. filter has several syntax options, as the next lesson shows.",
        .hint        = {"Stuck? Break it down!", "1. Pass $0 \n 2. Take its remainder of 2: $0 % 2 \n 3. A remainder that is not 0 means odd: != 0 \n $0 % 2 != 0"},
        .words       = {{"$", "%", "!", "="}},
        .colors      = {{INSTR, "filter", blue}, {INSTR, "In line 3, add the closure that keeps the odd numbers, using $0.", comment},
                        {L2, "var", project}, {L2, "// filter { condition }", comment}, {L3, "filter", blue},
                        {SUCCESS, "filter", blue}, {ERROR, "$0 % 2 != 0", comment}},
        .printValue  = "[1, 3, 5, 7, 9]",
        .video       = "oVRzvP-jSTS",
    }));

    addLessonStoring(chapter, 68, printing({
        .id = "CH23L13", .number = 13, .title = "Filter closure syntax",
        .instruction = "filter takes its closure in many forms; lines 2 to 7 all keep the even numbers. In line 1, create list as an Array of the closed range 1 to 10.",
        .code = R"(«var list = Array(1...10)»
let f1 = list.filter( { (x: Int) in return x % 2 == 0 })
let f2 = list.filter( { (x) in return x % 2 == 0 })
let f3 = list.filter( { x in return x % 2 == 0 })
let f4 = list.filter( { x in x % 2 == 0 })
let f5 = list.filter { x in x % 2 == 0 }
let f6 = list.filter { $0 % 2 == 0 }
print(f6))",
        .accepted    = {kShortcutAnswer},
        .success     = "All six filters kept the even numbers. Practise the forms, and use the search to review them.",
        .hint        = {"Stuck? Break it down!", "1. Create a variable list \n 2. Set it to an Array \n 3. Call the initializer \n 4. Use the closed range 1...10 \n var list = Array(1...10)"},
        .words       = {{"(", "=", ".", ")"}},
        .colors      = {{INSTR, "filter", blue}, {INSTR, "In line 1, create list as an Array of the closed range 1 to 10.", comment},
                        {INSTR, "Array", blue}, {L2, "filter", blue}, {L7, "filter", blue}, {SUCCESS, "filter", blue},
                        {ERROR, "var list = Array(1...10)", comment}},
        .printValue  = "[2, 4, 6, 8, 10]",
        .video       = "_edN1Lj0ubG",
    }));

    addLessonStoring(chapter, 44, printing({
        .id = "CH23L14", .number = 14, .title = "Filter strings with prefix",
        .instruction = "filter with hasPrefix keeps the strings that start with some text; the closure gives a Bool. In line 4, write the closure of line 3 with the $0 shorthand.",
        .code = R"(let tags = ["#best","#top","game"]
// let f1 = tags.filter { condition }
let f2 = tags.filter { x in x.hasPrefix("#") }
let f3 = tags.filter {  «$0.hasPrefix("#")»}
print(f3))",
        .accepted    = {kShortcutAnswer},
        .success     = "filter and hasPrefix picked out the hashtag strings.",
        .hint        = {"Stuck? Break it down!", "1. Pass $0 \n 2. Call hasPrefix on it \n 3. Replace the argument with \"#\" \n $0.hasPrefix(\"#\")"},
        .words       = {{"(", "$", ".", "#", ")"}},
        .colors      = {{INSTR, "filter", blue}, {INSTR, "In line 4, write the closure of line 3 with the $0 shorthand.", comment},
                        {INSTR, "hasPrefix", blue}, {INSTR, "Bool", pink}, {L2, "// let f1 = tags.filter { condition }", comment},
                        {L3, "filter", blue}, {L3, "hasPrefix", blue}, {L4, "filter", blue}, {SUCCESS, "filter", blue},
                        {SUCCESS, "hasPrefix", blue}, {ERROR, R"($0.hasPrefix("#"))", comment}},
        .printValue  = R"(["#best", "#top"])",
        .video       = "4hVyOYGAPv9",
    }));

    addLessonStoring(chapter, 44, printing({
        .id = "CH23L15", .number = 15, .title = "Filter on dictionary",
        .instruction = "filter works on a dictionary of names and ages too: keep the adults, those older than 17. In line 4, write the closure of line 3 with the $0 and $1 shorthand.",
        .code = R"(let users = ["Bill":24,"Charly":5,"Dee":21]
// let f1 = users.filter { condition }
let f2 = users.filter { (name, age) in age > 17 }
let f3 = users.filter {  «$1 > 17»}
print(f3))",
        .accepted    = {"$1>=18", "$1 >= 18", "$1>17", kShortcutAnswer},
        .success     = "$0 is the key, the name, and $1 the value, the age. A dictionary has no order, so the adults may print in any order.",
        .hint        = {"Stuck? Break it down!", "1. A dictionary has a key and a value \n 2. The name is $0 \n 3. The age is $1 \n 4. An adult is older than 17 \n $1 > 17"},
        .words       = {{"<", "$", ">"}},
        .colors      = {{INSTR, "filter", blue}, {INSTR, "In line 4, write the closure of line 3 with the $0 and $1 shorthand.", comment},
                        {INSTR, "dictionary", blue}, {L2, "// let f1 = users.filter { condition }", comment},
                        {L3, "filter", blue}, {L4, "filter", blue}, {SUCCESS, "$0", comment}, {SUCCESS, "$1", comment},
                        {ERROR, "$1 > 17", comment}},
        .printValue  = R"(["Bill": 24, "Dee": 21])",
        .video       = "E5pOrr8chkm",
    }));

    addLessonStoring(chapter, 44, printing({
        .id = "CH23L16", .number = 16, .title = "Reduce function",
        .instruction = "reduce combines all items into one value: it starts from an initial value and adds each item in turn. In line 4, please print the sum.",
        .code = R"(let numbers = [10,20,30]
// let syntax = numbers.reduce(0, { closure })
let sum = numbers.reduce(0, {x,y in x + y})
«print(sum)»)",
        .accepted    = {"print( sum )", kShortcutAnswer},
        .success     = "reduce takes an initial value and a closure of the result so far and the next item: 0 + 10 + 20 + 30.",
        .hint        = {"Stuck? Break it down!", "1. Call print \n 2. Pass sum \n print(sum)"},
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "reduce", blue}, {INSTR, "In line 4, please print the sum.", comment},
                        {L2, "// let syntax = numbers.reduce(0, { closure })", comment}, {L3, "reduce", blue},
                        {SUCCESS, "reduce", blue}, {ERROR, "print(sum)", comment}},
        .printValue  = "60",
        .search      = "sum array",
        .video       = "2bBC7CvVdEC",
    }));

    addLessonStoring(chapter, 56, printing({
        .id = "CH23L17", .number = 17, .title = "Reduce syntax",
        .instruction = "The reduce closure also has long and short forms. In line 5, complete the closure with $0 and $1.",
        .code = R"(let numbers = [10,20,30]
var sum = 0 // numbers.reduce(0, { closure })
sum = numbers.reduce(0,{(x,y) in return x + y })
sum = numbers.reduce(0, { x,y in x + y })
sum = numbers.reduce(0, {«$0 + $1»})
print(sum))",
        .accepted    = {kShortcutAnswer},
        .success     = "Three forms, one sum. The form with $0 and $1 reads easiest once you know it.",
        .hint        = {"Stuck? Break it down!", "1. Add the result so far and the next item \n 2. Replace x with $0 and y with $1 \n $0 + $1"},
        .words       = {{"$", "+"}},
        .colors      = {{INSTR, "reduce", blue}, {INSTR, "In line 5, complete the closure with $0 and $1.", comment},
                        {L2, "// numbers.reduce(0, { closure })", comment}, {L3, "reduce", blue}, {L4, "reduce", blue},
                        {L5, "reduce", blue}, {SUCCESS, "$0", comment}, {SUCCESS, "$1", comment}, {ERROR, "$0 + $1", comment}},
        .printValue  = "60",
        .video       = "6ABU_RX-WsR",
    }));

    addLessonStoring(chapter, 41, printing({
        .id = "CH23L18", .number = 18, .title = "Reduce int array into string",
        .instruction = R"(reduce can build a String from numbers: start from "" and add each number as text, with $0 for the result so far and $1 for the next number. In line 5, add the closure that merges the Ints into one String.)",
        .code = R"(let numbers = Array(1...10)
let str = numbers.reduce("", {
   // add closure to merge Ints into String
   // add initialResult + nextItem
   «$0 + String($1)»
})
print(str))",
        .accepted    = {"$0+String($1)", kShortcutAnswer},
        .success     = R"(Start from "" and append String($1) for every number.)",
        .hint        = {"Stuck? Break it down!", "1. The initial result is \"\" \n 2. Replace x with $0 \n 3. The next item is an Int \n 4. Replace y with $1 \n 5. Cast the Int to a String \n $0 + String($1)"},
        .words       = {{"(", "$", "+", ")"}},
        .colors      = {{INSTR, "reduce", blue}, {INSTR, "In line 5, add the closure that merges the Ints into one String.", comment},
                        {L2, "reduce", blue}, {SUCCESS, R"("")", red}, {SUCCESS, "String($1)", blue},
                        {ERROR, "$0 + String($1)", comment}},
        .printValue  = "12345678910",
        .video       = "x2YhhGGGl8E",
    }));

    addLessonStoring(chapter, 43, printing({
        .id = "CH23L19", .number = 19, .title = "Reduce with math operators",
        .instruction = R"(An operator such as + can stand in for the whole closure of reduce, as in line 2. In line 4, create text by reducing ids with + from the initial value "".)",
        .code = R"(let numbers = Array(1...10)
let total = numbers.reduce(0, +)
let ids = ["a1","b2","c3"]
«let text = ids.reduce("", +)»
print(text))",
        .accepted    = {R"(let text = ids.reduce("",+))", R"(let text=ids.reduce("", +))", R"(let text = ids.reduce( "", +))", R"(let text=ids.reduce("",+))", kShortcutAnswer},
        .success     = "The + operator is common with reduce: it joined the strings one after the other.",
        .hint        = {"Stuck? Break it down!", "1. Create text \n 2. Initialize it with = \n 3. Call reduce on ids \n 4. The initial value is \"\" \n 5. Add the closure + \n let text = ids.reduce(\"\", +)"},
        .words       = {{"=", ".", ",", "+"}},
        .colors      = {{INSTR, "reduce", blue}, {INSTR, R"(In line 4, create text by reducing ids with + from the initial value "".)", comment},
                        {INSTR, "+", blue}, {L2, "reduce", blue}, {SUCCESS, "+", blue}, {SUCCESS, "reduce", blue},
                        {ERROR, R"(let text = ids.reduce("", +))", comment}},
        .printValue  = "a1b2c3",
        .video       = "9D9gyDZdIjK",
    }));

    addLessonStoring(chapter, 48, printing({
        .id = "CH23L20", .number = 20, .title = "Reduce on dictionary",
        .instruction = "reduce over a dictionary can add up the seats of every class. In line 3, add 200 economy seats to seats.",
        .code = R"(var seats = [String: Int]()
seats["business"] = 10
«seats["economy"] = 200»
// syntax = reduce(initialValue, closure)
let totalSeats = seats.reduce(0, {$0 + $1.value})
print(totalSeats))",
        .accepted    = {R"(seats["economy"]=200)", R"(seats[ "economy" ] = 200)", R"(seats[ "economy" ]=200)", kShortcutAnswer},
        .success     = "$0 is the initial value and then the sum so far; $1.key and $1.value are the entry. The types must match: the seats are Ints, so the sum starts at 0.",
        .hint        = {"Stuck? Break it down!", "1. Follow the example in line \n seats[\"economy\"] = 200"},
        .words       = {{"[", "=", R"(")", "]"}},
        .colors      = {{INSTR, "reduce", blue}, {INSTR, "In line 3, add 200 economy seats to seats.", comment},
                        {INSTR, "dictionary", blue}, {L5, "reduce", blue}, {SUCCESS, "$0", comment}, {SUCCESS, "$1.key", comment},
                        {SUCCESS, "$1.value", comment}, {ERROR, R"(seats["economy"] = 200)", comment}},
        .printValue  = "210",
        .video       = "uu8Oi6vc_pE",
    }));

    addLesson(chapter, printing({
        .id = "CH23L21", .number = 21, .title = "FlatMap collections",
        .instruction = "You can use flatMap to flatten a collection of collections into a single array.  In line 1, create an array called collections that contains two sets of numbers.  Set 1 should contain numbers 1, 2, 3.  Set two should contain numbers 7, 8, and 9.",
        .code = R"(«var collections = [[1,2,3], [7,8,9]]»
let mapped = collections.flatMap { $0 }
print(mapped))",
        .accepted    = {"var collections = [[1,2,3],[7,8,9]]", "var collections=[[1,2,3],[7,8,9]]", "var collections = [[1,2,3], [7,8,9]]", "var collections=[[1,2,3], [7,8,9]]", "var collections = [ [1,2,3], [7,8,9] ]", kShortcutAnswer},
        .success     = "Use flatMap to easily reduce a set of collections into a single array containing all items.",
        .hint        = {"Stuck? Break it down!", "1. Create an array called collections. \n 2. Initialize it with two sets of numbers \n 3. Set 1 = [1,2,3] \n 4. Set 2 = [7,8,9]  \n var collections = [[1,2,3], [7,8,9]]"},
        .words       = {{"[", "=", ",", "]"}},
        .colors      = {{INSTR, "flatMap", blue}, {INSTR, "In line 1, create an array called collections that contains two sets of numbers.  Set 1 should contain numbers 1, 2, 3.  Set two should contain numbers 7, 8, and 9.", comment},
                        {INSTR, "+", blue}, {INSTR, "dictionary", blue}, {INSTR, "users", project},
                        {L1, "var", pink}, {L1, "1", purple}, {L1, "10", purple}, {L1, "String", blue}, {L1, "Int", blue},
                        {L1, R"("Bill")", red}, {L1, R"("Charly")", red},
                        {L2, R"("business")", red}, {L2, "let", pink}, {L2, "flatMap", blue}, {L2, "collections", project},
                        {L2, "10", purple}, {L2, "closure", comment},
                        {L3, "let", pink}, {L3, R"("a1")", red}, {L3, R"("b2")", red}, {L3, R"("c3")", red},
                        {L4, "// syntax = reduce(initialValue, closure)", comment},
                        {L5, "reduce", blue}, {L5, "seats", project}, {L5, "let", pink}, {L5, "return", pink},
                        {L5, "2", purple}, {L5, "0", purple}, {L5, "Int", blue},
                        {L3, "sum", project}, {L4, "sum", project}, {L5, "sum", project},
                        {L3, "odds", project}, {L3, "enumerated", blue}, {L3, "filter", blue}, {L3, "list", project},
                        {L3, "print", blue}, {L3, "mapped", project},
                        {SUCCESS, R"("")", red}, {SUCCESS, "$0", comment}, {SUCCESS, "$1", comment}, {SUCCESS, "flatMap", blue},
                        {SUCCESS, "$1.key", comment}, {SUCCESS, "$1.value", comment}, {SUCCESS, " key ", comment},
                        {SUCCESS, " value ", comment}, {ERROR, "var collections = [[1,2,3], [7,8,9]]", comment}},
        .autoColor   = false,
        .printValue  = "[1, 2, 3, 7, 8, 9]",
        .video       = "1xTcuJnlx_G",
    }));

    addLessonStoring(chapter, 47, printing({
        .id = "CH23L22", .number = 22, .title = "Remove nil with flatMap",
        .instruction = "flatMap also drops the nil values of an array of optionals, and unwraps the rest. In line 3, remove the nil values from cars.",
        .code = R"(var cars = ["VW", nil, "BMW"]
// syntax = cars.flatMap { closure }
let carCollection =«cars.flatMap { $0 }»
print(carCollection))",
        .accepted    = {"cars.flatMap { $0 }", "cars.flatMap{ $0 }", "cars.flatMap {$0}", "cars.flatMap{$0}", kShortcutAnswer},
        .success     = R"(flatMap removed the nil value and unwrapped "VW" and "BMW".)",
        .hint        = {"Stuck? Break it down!", "1. Call flatMap on cars \n 2. Add the braces: { } \n 3. Add $0 \n cars.flatMap { $0 }"},
        .words       = {{"{", ".", "$", "}"}},
        .colors      = {{INSTR, "flatMap", blue}, {INSTR, "In line 3, remove the nil values from cars.", comment},
                        {INSTR, "nil", pink}, {L2, "// syntax = cars.flatMap { closure }", comment}, {SUCCESS, "flatMap", blue},
                        {SUCCESS, "nil", pink}, {ERROR, "cars.flatMap { $0 }", comment}},
        .printValue  = R"(["VW", "BMW"])",
        .search      = "optionals",
        .video       = "kuqGPFwdCak",
    }));

    addLessonStoring(chapter, 55, printing({
        .id = "CH23L23", .number = 23, .title = "Chaining flatMap + filter",
        .instruction = "Higher order functions return collections, so they chain: flatMap, then filter on its result. In line 2, create odds as an empty Int array.",
        .code = R"(let sets = [[1,2,3],[7,8,9]]
«var odds = [Int]()»
odds = sets.flatMap{$0}.filter{$0 % 2 != 0}
print(odds))",
        .accepted    = {"var odds=[Int]()", "var odds=[ Int ]()", "var odds = [ Int ]()", "var odds=[Int]()", kShortcutAnswer},
        .success     = "flatMap gave one array of six numbers, and filter kept the odd ones.",
        .hint        = {"Stuck? Break it down!", "1. Create odds \n 2. Use var \n 3. Initialize it as an empty Int array \n var odds = [Int]()"},
        .words       = {{"[", "(", "=", ")", "}"}},
        .colors      = {{INSTR, "flatMap", blue}, {INSTR, "In line 2, create odds as an empty Int array.", comment},
                        {INSTR, "filter", blue}, {L3, "flatMap", blue}, {L3, "filter", blue}, {SUCCESS, "flatMap", blue},
                        {SUCCESS, "filter", blue}, {ERROR, "var odds = [Int]()", comment}},
        .printValue  = "[1, 3, 7, 9]",
        .search      = "optionals",
        .video       = "2cu8-O0cqNC",
    }));

    addLessonStoring(chapter, 55, printing({
        .id = "CH23L24", .number = 24, .title = "Chaining map + filter + reduce",
        .instruction = "Chained calls read best with one call per line. In line 5, call reduce with the plus operator to add up what is left.",
        .code = R"(let numbers = [1,2,3,4]
let result = numbers
   .map{ $0 * 3 } // result = [3,6,9,12]
   .filter{$0 % 2 == 0} // result = [6,12]
   «.reduce(0, +)»
print(result))",
        .accepted    = {".reduce(0,{$0 + $1})", ".reduce(0, {$0 + $1})", ".reduce(0,+)", kShortcutAnswer},
        .success     = "map, then filter, then reduce: 3, 6, 9 and 12, of which 6 and 12 are even, add up to 18. You finished the map, filter and reduce chapter!",
        .hint        = {"Stuck? Break it down!", "1. Call reduce with dot notation \n 2. The initial value is 0 \n 3. Add the closure \n 4. Replace the closure with the + operator \n .reduce(0, +)"},
        .words       = {{"(", ".", ",", "+", ")"}},
        .colors      = {{INSTR, "reduce", blue}, {INSTR, "In line 5, call reduce with the plus operator to add up what is left.", comment},
                        {L3, "map", blue}, {L4, "filter", blue}, {SUCCESS, "map", blue}, {SUCCESS, "filter", blue},
                        {SUCCESS, "reduce", blue}, {ERROR, ".reduce(0, +)", comment}},
        .printValue  = "18",
        .search      = "optionals",
        .video       = "dF19HuAKKmf",
    }));
}
// clang-format on
