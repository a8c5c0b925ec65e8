// Swift course, chapter 15: everyday snippets for strings, arrays and numbers.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter15(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH15L1", .number = 1, .title = "Get the length of a String",
        .instruction = "Every String knows how many characters it has: read its count property. In older Swift you wrote myString.characters.count. In line 2, print the number of characters in myString.",
        .code = R"(var myString = "I love swift programming"
«print(myString.count)»)",
        .accepted    = {"print(myString.characters.count)", kShortcutAnswer},
        .success     = "Now you know how long a String is.",
        .hint        = {"Stuck?", "Break it down. \n 1. Call the print function: print() \n 2. Add myString followed by .count \n print(myString.count)"},
        .placeholder = "Call the print function",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "characters", blue}, {INSTR, "count", blue}, {INSTR, "myString", project}, {L1, "var", pink},
                        {L1, R"("I love swift programming")", red}, {L2, "let", pink}, {L2, "myString", project},
                        {L2, "characters", blue}, {L2, "count", blue}, {SUCCESS, "characters", blue}, {SUCCESS, "count", blue},
                        {ERROR, "print(myString.count)", comment}, {ERROR, "print()", comment}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "24",
        .video       = "pIs6ayVSVSf",
    });

    addLesson(chapter, {
        .id = "CH15L2", .number = 2, .title = "Get index and element from array",
        .instruction = "enumerated() hands a for loop each element of an array together with its index. In line 3, print the index and the value.",
        .code = R"(var list = ["Sam","Jon","Ari"]
for (index,value) in list.enumerated() {
   print(«index,value»)
})",
        .accepted    = {"index, value"},
        .success     = "Each pass of the loop printed an index and its value, the last one 2 and Ari.",
        .hint        = {"Stuck?", "Break it down. \n 1. Pass both names to print, separated by a comma: index, value"},
        .placeholder = " Tap to answer ",
        .words       = {{",", "="}},
        .colors      = {{INSTR, "array", blue}, {INSTR, "In line 3, print the index and the value.", comment},
                        {L1, R"("Sam")", red}, {L1, "var", pink}, {L1, R"("Jon")", red}, {L2, "for", pink}, {L2, " in ", pink},
                        {L2, "list", project}, {L2, "enumerated", blue}, {L2, "index", blue}, {L3, "print", blue},
                        {SUCCESS, "Ari", red}, {SUCCESS, "2", blue}, {ERROR, "index, value", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "0 Sam\n1 Jon\n2 Ari",
        .search      = "for loop index element in array",
        .video       = "dUrV_f_dIV3",
    });

    addLesson(chapter, {
        .id = "CH15L3", .number = 3, .title = "Split a string into an array",
        .instruction = "components(separatedBy:) cuts a String into an array of pieces wherever the separator occurs. In line 4, count the tags.",
        .code = R"(var tags = "ios,swift,lesson"
let arr: [String]
arr = tags.components(separatedBy: ",")
var tagsCount =«arr.count»
print(tagsCount))",
        .success     = "Three tags, split at every comma.",
        .hint        = {"Stuck?", "Break it down. \n 1. An array also has a count property: arr.count"},
        .placeholder = " Tap to answer ",
        .words       = {{".", "="}},
        .colors      = {{INSTR, "In line 4, count the tags.", comment}, {INSTR, "components(separatedBy:)", blue},
                        {INSTR, "String", blue}, {L4, "arr", project},
                        {L1, "var", pink}, {L1, "tags", project}, {L1, R"("ios,swift,lesson")", red}, {L4, "count", blue},
                        {SUCCESS, "arr", project}, {L2, "let", pink}, {L2, "arr", project}, {L2, "String", blue},
                        {L3, "arr", project}, {L3, "tags", project}, {L3, "components", blue}, {L3, "separatedBy", project},
                        {L3, R"(",")", red}, {L4, "var", pink}, {L5, "print", blue}, {ERROR, "arr.count", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "3",
        .video       = "Zca3SCLv1rC",
    });

    addLesson(chapter, {
        .id = "CH15L4", .number = 4, .title = "Convert Int to String",
        .instruction = "String(number) turns a number into text, and then you can count its digits. In line 3, set digits to the number of characters of str.",
        .code = R"(let number = 352462469
let str = String(number)
let digits = «str.count»
print("The number contains \(digits) digits"))",
        .success     = "Nine digits, counted as characters.",
        .hint        = {"Stuck?", "Break it down. \n 1. Read the count of str: str.count"},
        .placeholder = " Tap to answer ",
        .words       = {{".", "="}},
        .colors      = {{INSTR, "In line 3, set digits to the number of characters of str.", comment},
                        {INSTR, "String(number)", blue}, {L3, "str", project}, {L1, "let", pink},
                        {L1, "number", project}, {L1, "352462469", purple}, {L2, "let", pink}, {L2, "str", project},
                        {L2, "String", blue}, {L2, "number", project}, {L3, "let", pink}, {L3, "digits", project},
                        {L4, "print", blue}, {L4, R"("The number contains \(digits) digits")", red},
                        {ERROR, "str.count", comment}, {ERROR, "count", blue}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "The number contains 9 digits",
        .search      = "number of digits",
        .video       = "OYZ-BsDNxQE",
    });

    addLesson(chapter, {
        .id = "CH15L5", .number = 5, .title = "Retrieve beginning / end of string",
        .instruction = R"(An index into a String is made from startIndex with an offset; a range up to the index gives the beginning, a range from it the end. In line 9, print "The area code is " followed by areaCode.)",
        .code = R"~(let mobile = 7785550123
let str = String(mobile)
let index = str.index(str.startIndex,
                           offsetBy: 3)
// Beginning of string up to index
let areaCode = str[..<index]
// End of string from index
let number = str[index...]
«print("The area code is \(areaCode)")»)~",
        .accepted    = {R"(print("The area code is " + areaCode))", R"(print("The area code is "+areaCode))"},
        .success     = "The first three digits are the area code.",
        .hint        = {"Stuck?", "Break it down. \n 1. Call print with the text: print(\"The area code is \") \n 2. Put areaCode inside it: \\(areaCode)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", R"(")", R"(\)", ")"}},
        .colors      = {{INSTR, R"(In line 9, print "The area code is " followed by areaCode.)", comment},
                        {INSTR, "startIndex", blue},
                        {L9, "print", blue}, {L9, "areaCode", project}, {SUCCESS, "areaCode", project}, {L1, "let", pink},
                        {L1, "mobile", project}, {L1, "7785550123", purple}, {L2, "let", pink}, {L2, "str", project},
                        {L2, "String", blue}, {L2, "mobile", project}, {L3, "let", pink}, {L3, "index", blue},
                        {L3, "str", project}, {L3, "startIndex", project}, {L4, "offsetBy", project}, {L4, "3", purple},
                        {L5, "// Beginning of string up to index", comment}, {L6, "let", pink}, {L6, "index", blue},
                        {L7, "// End of string from index", comment}, {L8, "let", pink}, {L8, "index", blue},
                        {ERROR, R"~(print("The area code is \(areaCode)"))~", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "The area code is 778",
        .search      = "prefix suffix",
        .video       = "PXu4A6rnUA1",
    });

    addLesson(chapter, {
        .id = "CH15L6", .number = 6, .title = "Convert String to Int",
        .instruction = "Int(str) turns text into a number. The text may not be a number, so the result is an optional. In line 4, add 100 to myInt.",
        .code = R"(let str = "100"
var myInt: Int?
myInt = Int(str)
«myInt! += 100»
print(myInt!))",
        .accepted    = {"myInt!+=100"},
        .success     = "100 and 100 make 200.",
        .hint        = {"Stuck?", "Break it down. \n 1. Unwrap the optional with !: myInt! \n 2. Add 100 with +=: myInt! += 100"},
        .placeholder = " Tap to answer ",
        .words       = {{"!", "+", "="}},
        .colors      = {{INSTR, "In line 4, add 100 to myInt.", comment}, {INSTR, "Int(str)", blue}, {INSTR, "100", purple},
                        {L1, "let", pink}, {L1, "str", project}, {L1, R"("100")", red}, {L2, "var", pink},
                        {L2, "myInt", project}, {L3, "myInt", project}, {L3, "str", project}, {L5, "print", blue},
                        {L5, "myInt", project}, {SUCCESS, "200", purple}, {ERROR, "myInt! += 100", comment},
                        {ERROR, "myInt!", project}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "200",
        .video       = "sWdLg-H2WoN",
    });

    addLesson(chapter, {
        .id = "CH15L7", .number = 7, .title = "Check if element is in array",
        .instruction = R"(contains tells you whether an array holds an element. In line 3, print "Eve is present".)",
        .code = R"(var attending = ["Eve","Lee","Sal"]
if attending.contains("Eve") {
   print(«"Eve is present"»)
})",
        .success     = "Eve is on the list.",
        .hint        = {"Stuck?", "Break it down. \n 1. Write the text between double quotes: \"Eve is present\""},
        .placeholder = " Tap to answer ",
        .words       = {{R"(")", "="}},
        .colors      = {{INSTR, R"(In line 3, print "Eve is present".)", comment}, {INSTR, "contains", blue},
                        {INSTR, R"("Eve is present")", red}, {L3, R"("Eve is present")", red},
                        {SUCCESS, R"("Eve")", red}, {L1, "var", pink}, {L1, "attending", project}, {L1, R"("Eve")", red},
                        {L1, R"("Lee")", red}, {L1, R"("Sal")", red}, {L2, "if", pink}, {L2, "attending", project},
                        {L2, "contains", blue}, {L2, R"("Eve")", red}, {L3, "print", blue},
                        {ERROR, R"("Eve is present")", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "Eve is present",
        .search      = "find search contains",
        .video       = "uuV2Fk6DFp_",
    });

    addLesson(chapter, {
        .id = "CH15L8", .number = 8, .title = "Find index of list item",
        .instruction = "index(of:) finds the position of an element in an array; it gives nil when the element is not there. In line 4, look up the rank at the position found.",
        .code = R"~(var winners = ["Eve","Lee","Sal"]
let rank = ["first","second","third"]
if let found = winners.index(of:"Lee") {
   let position = «rank[found]»
   print("Lee finished \(position)")
} else {
   print("Lee did not finish among the top 3")
})~",
        .accepted    = {"rank [found]", "rank [ found ]", "rank[ found ]"},
        .success     = "Lee is at index 1, which is second place.",
        .hint        = {"Stuck?", "Break it down. \n 1. Use found as the index into rank: rank[found]"},
        .placeholder = " Tap to answer ",
        .words       = {{"[", "]"}},
        .colors      = {{INSTR, "In line 4, look up the rank at the position found.", comment}, {INSTR, "index(of:)", blue},
                        {INSTR, "nil", pink}, {L1, "var", pink}, {L1, "winners", project}, {L1, R"("Eve")", red},
                        {L1, R"("Lee")", red}, {L1, R"("Sal")", red}, {L2, "let", pink}, {L2, "rank", project},
                        {L2, R"("first")", red}, {L2, R"("second")", red}, {L2, R"("third")", red}, {L3, "if", pink},
                        {L3, "let", pink}, {L3, "found", project}, {L3, "winners", project}, {L3, "index", blue},
                        {L3, "of", project}, {L3, R"("Lee")", red}, {L4, "let", pink}, {L5, "print", blue},
                        {L5, R"~("Lee finished \(position)")~", red}, {L6, "else", pink}, {L7, "print", blue},
                        {L7, R"("Lee did not finish among the top 3")", red}, {SUCCESS, "Lee", project},
                        {ERROR, "rank[found]", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "Lee finished second",
        .search      = "find search contains",
        .video       = "F9utKijH8KB",
    });

    addLesson(chapter, {
        .id = "CH15L9", .number = 9, .title = "Convert Float to Int",
        .instruction = "Int(floatValue) turns a decimal number into a whole number by dropping everything after the point. In line 3, print intValue.",
        .code = R"(let floatValue = 10.9
let intValue = Int(floatValue)
«print(intValue)»)",
        .accepted    = {"print( intValue )", "print (intValue)", "print ( intValue )", "print ( intValue)", "print (intValue )", "print(intValue )", "print( intValue)"},
        .success     = "10.9 became 10: nothing is rounded, the decimals are cut off.",
        .hint        = {"Stuck?", "Break it down. \n 1. Call print with intValue: print(intValue)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 3, print intValue.", comment}, {INSTR, "Int(floatValue)", blue},
                        {L3, "print", blue}, {L3, "intValue", project}, {SUCCESS, "intValue", project}, {L1, "let", pink}, {L1, "floatValue", project}, {L1, "10.9", purple},
                        {L2, "let", pink}, {L2, "intValue", project}, {L2, "Int", blue}, {L2, "floatValue", project},
                        {SUCCESS, "10.9", purple}, {ERROR, "print(intValue)", comment}, {ERROR, "intValue", project}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "10",
        .video       = "ViN8YQ8Yri1",
    });

    addLesson(chapter, {
        .id = "CH15L10", .number = 10, .title = "Concatenate or merge arrays",
        .instruction = "The + operator joins two arrays into a new one. In line 3, merge array1 and array2.",
        .code = R"(let array1 = [2,3,4]
let array2 = [5,6,7]
let mergedArray = «array1 + array2»
print(mergedArray))",
        .accepted    = {"array1+array2", "array2+array1", "array2 + array1"},
        .success     = "Two arrays, one merged array.",
        .hint        = {"Stuck?", "Break it down. \n 1. Join the arrays with +: array1 + array2"},
        .placeholder = " Tap to answer ",
        .words       = {{"[", "]"}},
        .colors      = {{INSTR, "In line 3, merge array1 and array2.", comment}, {INSTR, "+", pink},
                        {L3, "array1", project}, {L1, "let", pink}, {L1, "array1", project},
                        {L1, "2", purple}, {L1, "3", purple}, {L1, "4", purple}, {L2, "let", pink}, {L2, "array2", project},
                        {L2, "5", purple}, {L2, "6", purple}, {L2, "7", purple}, {L3, "let", pink},
                        {L3, "mergedArray", project}, {L4, "print", blue}, {L4, "mergedArray", project},
                        {ERROR, "array1 + array2", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"array1+", "[2, 3, 4, 5, 6, 7]", "The elements of array2 follow those of array1."},
                        {"array1 +", "[2, 3, 4, 5, 6, 7]", "The elements of array2 follow those of array1."},
                        {"array2+", "[5, 6, 7, 2, 3, 4]", "The elements of array1 follow those of array2."},
                        {"array2 +", "[5, 6, 7, 2, 3, 4]", "The elements of array1 follow those of array2."}},
        .search      = "combine",
        .video       = "u0VWlrEGeAb",
    });

    addLesson(chapter, {
        .id = "CH15L11", .number = 11, .title = "Retrieve last characters of a string",
        .instruction = "An index counted back from endIndex gives the end of a String. In line 6, print lastChars.",
        .code = R"(let str = "Hello my friend"
let index = str.index(str.endIndex,
                           offsetBy: -3)
// Grab end of String
let lastChars = str[index...]
«print(lastChars)»)",
        .accepted    = {"print( lastChars )"},
        .success     = "The last three characters of friend.",
        .hint        = {"Stuck?", "Break it down. \n 1. Call print with lastChars: print(lastChars)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", "+", ")"}},
        .colors      = {{INSTR, "In line 6, print lastChars.", comment}, {INSTR, "endIndex", blue},
                        {L6, "print", blue}, {L6, "lastChars", project}, {SUCCESS, "lastChars", project},
                        {L1, "let", pink}, {L1, "str", project}, {L1, R"("Hello my friend")", red}, {SUCCESS, "str", project},
                        {INSTR, "str", project}, {INSTR, "-3", purple},
                        {L2, "let", pink}, {L2, "index", blue}, {L2, "str", project}, {L3, "3", purple},
                        {L4, "// Grab end of String", comment}, {L5, "let", pink}, {L5, "index", blue},
                        {ERROR, "print(lastChars)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "end",
        .search      = "prefix suffix",
        .video       = "zUrXd775PPr",
    });

    addLesson(chapter, {
        .id = "CH15L12", .number = 12, .title = "What is _: in Swift?",
        .instruction = "A parameter can have an external name for callers and an internal name for the function body. Write _ as the external name and callers pass the value without any label. In line 9, call myFunc with 2 and no label.",
        .code = R"(// Func with external & internal parameter names
func myFunc(label name: Int) { print(name) }
myFunc(label: 2)
// Func with same external & internal parameter
func myFunc(name: Int) { print(name) }
myFunc(name: 2)
// Func without external parameter name
func myFunc(_ name: Int) { print(name) }
«myFunc(2)»)",
        .lines       = 9,
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "With _ the call reads myFunc(2).",
        .hint        = {"Stuck? Break it down!", "1. Call the function: myFunc() \n 2. Pass 2 without a label \n myFunc(2)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 9, call myFunc with 2 and no label.", comment}, {INSTR, "_", pink},
                        {L1, "// Func with external & internal parameter names", comment}, {L2, "func", pink},
                        {L2, "myFunc", project}, {L2, "label", project}, {L2, "name", project}, {L2, "Int", blue},
                        {L2, "print", blue}, {L3, "myFunc", project}, {L3, "2", purple},
                        {L4, "// Func with same external & internal parameter", comment}, {L5, "func", pink},
                        {L5, "Int", blue}, {L5, "print", blue}, {L6, "2", purple},
                        {L7, "// Func without external parameter name", comment}, {L8, "func", pink},
                        {L8, "Int", blue}, {L8, "print", blue}, {ERROR, "myFunc(2)", comment},
                        {L1, "myFunc(2)", comment}, {L2, "myFunc(2)", comment}, {L3, "myFunc(2)", comment},
                        {L4, "myFunc(2)", comment}, {L5, "myFunc(2)", comment}, {L6, "myFunc(2)", comment},
                        {L7, "myFunc(2)", comment}, {L8, "myFunc(2)", comment}, {L9, "myFunc(2)", comment},
                        {L10, "myFunc(2)", comment}, {INSTR, "myFunc(2)", comment}, {L1, "myFunc", project},
                        {L4, "myFunc", project}, {L7, "myFunc", project}, {L9, "myFunc", project},
                        {L10, "myFunc", project}, {L1, "_", pink}, {L2, "_", pink}, {L3, "_", pink}, {L4, "_", pink},
                        {L5, "_", pink}, {L6, "_", pink}, {L7, "_", pink}, {L9, "_", pink}, {L10, "_", pink},
                        {ERROR, "_", pink}, {L1, "func", pink}, {L3, "func", pink}, {L4, "func", pink},
                        {L6, "func", pink}, {L7, "func", pink}, {L9, "func", pink}, {L10, "func", pink},
                        {SUCCESS, "func", pink}, {L3, "name", project}, {L4, "name", project}, {L9, "name", project},
                        {L10, "name", project}, {SUCCESS, "name", project}, {ERROR, "name", project},
                        {L1, "label", project}, {L4, "label", project}, {L5, "label", project},
                        {L6, "label", project}, {L7, "label", project}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "2\n2\n2",
        .search      = "underscore",
        .video       = "z3ozG7uPN_Q",
    });

    addLesson(chapter, {
        .id = "CH15L13", .number = 13, .title = "Remove duplicates from an array",
        .instruction = "A Set holds every value only once. Turn the array into a Set and back into an Array to drop duplicates. In line 3, remove the duplicate names of students.",
        .code = R"(var students = ["Mike", "Sonja", "Mike"]
// Dedup students array
var uniqueNames = «Array(Set(students))»
print(uniqueNames))",
        .accepted    = {kShortcutAnswer},
        .success     = "Mike is only listed once now. A Set has no order, so the names may come out in any order.",
        .hint        = {"Stuck? Break it down!", "1. Make a Set of students: Set(students) \n 2. Turn it back into an array: Array() \n Array(Set(students))"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 3, remove the duplicate names of students.", comment}, {INSTR, "Set", blue},
                        {L1, "var", pink}, {L1, "students", project}, {L1, R"("Mike")", red},
                        {L1, R"("Sonja")", red}, {L2, "// Dedup students array", comment}, {L3, "var", pink},
                        {L3, "uniqueNames", project}, {L4, "print", blue}, {L4, "uniqueNames", project},
                        {ERROR, "Array(Set(students))", comment}, {L1, "Array(Set(students))", comment},
                        {L2, "Array(Set(students))", comment}, {L3, "Array(Set(students))", comment},
                        {L4, "Array(Set(students))", comment}, {L5, "Array(Set(students))", comment},
                        {L6, "Array(Set(students))", comment}, {L7, "Array(Set(students))", comment},
                        {L8, "Array(Set(students))", comment}, {L9, "Array(Set(students))", comment},
                        {L10, "Array(Set(students))", comment}, {SUCCESS, "Array(Set(students))", comment},
                        {INSTR, "Array(Set(students))", comment}, {L1, "Array", blue}, {L2, "Array", blue},
                        {L3, "Array", blue}, {L4, "Array", blue}, {L5, "Array", blue}, {L6, "Array", blue},
                        {L7, "Array", blue}, {L8, "Array", blue}, {L9, "Array", blue}, {L10, "Array", blue},
                        {SUCCESS, "Array", blue}, {L1, "Set", blue}, {L2, "Set", blue}, {L3, "Set", blue},
                        {L4, "Set", blue}, {L5, "Set", blue}, {L6, "Set", blue}, {L7, "Set", blue},
                        {L8, "Set", blue}, {L9, "Set", blue}, {L10, "Set", blue}, {L3, "students", project},
                        {L4, "students", project}, {L5, "students", project}, {L6, "students", project},
                        {L7, "students", project}, {L8, "students", project}, {L9, "students", project},
                        {L10, "students", project}, {SUCCESS, "students", project}, {L1, "uniqueNames", project},
                        {L2, "uniqueNames", project}, {L5, "uniqueNames", project}, {L6, "uniqueNames", project},
                        {L7, "uniqueNames", project}, {L8, "uniqueNames", project}, {L9, "uniqueNames", project},
                        {L10, "uniqueNames", project}, {SUCCESS, "uniqueNames", project},
                        {ERROR, "uniqueNames", project}, {INSTR, "uniqueNames", project}, {L2, "var", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = R"(["Sonja", "Mike"])",
        .search      = "dedup",
        .video       = "-LLdWte9_Tm",
    });

    addLesson(chapter, {
        .id = "CH15L14", .number = 14, .title = "New line in string",
        .instruction = R"(A new line inside a string literal is written as a backslash followed by n: \n. In line 1, add a variable called str and add the string "Hi \nHere is the new line".)",
        .code = R"(«var str = "Hi \nHere is the new line"»)",
        .accepted    = {R"(var str="Hi \nHere is the new line")", R"(var str="Hi\nHere is the new line")", kShortcutAnswer},
        .success     = "str holds two lines now: the first ends after Hi, the second reads Here is the new line.",
        .hint        = {"Stuck? Break it down!", "1. Declare the variable: var str = \n 2. Write the string with \\n where the line breaks \n 3. Remove the space after \\n \n var str = \"Hi \\nHere is the new line\""},
        .placeholder = "Tap to answer",
        .words       = {{"=", R"(\)", R"(")"}},
        .colors      = {{INSTR, R"(In line 1, add a variable called str and add the string "Hi \nHere is the new line".)", comment},
                        {INSTR, "string", blue}, {INSTR, R"(\n)", comment},
                        {SUCCESS, R"("Here is the new line")", red},
                        {ERROR, R"(var str = "Hi \nHere is the new line")", comment},
                        {L1, R"(var str = "Hi \nHere is the new line")", comment},
                        {L2, R"(var str = "Hi \nHere is the new line")", comment},
                        {L3, R"(var str = "Hi \nHere is the new line")", comment},
                        {L4, R"(var str = "Hi \nHere is the new line")", comment},
                        {L5, R"(var str = "Hi \nHere is the new line")", comment},
                        {L6, R"(var str = "Hi \nHere is the new line")", comment},
                        {L7, R"(var str = "Hi \nHere is the new line")", comment},
                        {L8, R"(var str = "Hi \nHere is the new line")", comment},
                        {L9, R"(var str = "Hi \nHere is the new line")", comment},
                        {L10, R"(var str = "Hi \nHere is the new line")", comment},
                        {SUCCESS, R"(var str = "Hi \nHere is the new line")", comment},
                        {INSTR, R"(var str = "Hi \nHere is the new line")", comment}, {L1, "var", pink},
                        {L2, "var", pink}, {L3, "var", pink}, {L4, "var", pink}, {L5, "var", pink},
                        {L6, "var", pink}, {L7, "var", pink}, {L8, "var", pink}, {L9, "var", pink},
                        {L10, "var", pink}, {SUCCESS, "var", pink}, {L1, "str", project}, {L2, "str", project},
                        {L3, "str", project}, {L4, "str", project}, {L5, "str", project}, {L6, "str", project},
                        {L7, "str", project}, {L8, "str", project}, {L9, "str", project}, {L10, "str", project},
                        {SUCCESS, "str", project}, {L1, R"("Hi \nHere is the new line")", red},
                        {L2, R"("Hi \nHere is the new line")", red}, {L3, R"("Hi \nHere is the new line")", red},
                        {L4, R"("Hi \nHere is the new line")", red}, {L5, R"("Hi \nHere is the new line")", red},
                        {L6, R"("Hi \nHere is the new line")", red}, {L7, R"("Hi \nHere is the new line")", red},
                        {L8, R"("Hi \nHere is the new line")", red}, {L9, R"("Hi \nHere is the new line")", red},
                        {L10, R"("Hi \nHere is the new line")", red},
                        {SUCCESS, R"("Hi \nHere is the new line")", red}, {L1, R"(\n)", comment},
                        {L2, R"(\n)", comment}, {L3, R"(\n)", comment}, {L4, R"(\n)", comment},
                        {L5, R"(\n)", comment}, {L6, R"(\n)", comment}, {L7, R"(\n)", comment},
                        {L8, R"(\n)", comment}, {L9, R"(\n)", comment}, {L10, R"(\n)", comment},
                        {SUCCESS, R"(\n)", comment}, {L1, "String", blue}, {L2, "String", blue},
                        {L3, "String", blue}, {L4, "String", blue}, {L5, "String", blue}, {L6, "String", blue},
                        {L7, "String", blue}, {L8, "String", blue}, {L9, "String", blue}, {L10, "String", blue},
                        {SUCCESS, "String", blue}, {ERROR, "String", blue}, {INSTR, "String", blue},
                        {L1, "print", blue}, {L2, "print", blue}, {L3, "print", blue}, {L4, "print", blue},
                        {L5, "print", blue}, {L6, "print", blue}, {L7, "print", blue}, {L8, "print", blue},
                        {L9, "print", blue}, {L10, "print", blue}, {ERROR, "print", blue}, {INSTR, "print", blue},
                        {L1, R"("Here is the new line")", red}, {L2, R"("Here is the new line")", red},
                        {L3, R"("Here is the new line")", red}, {L4, R"("Here is the new line")", red},
                        {L5, R"("Here is the new line")", red}, {L6, R"("Here is the new line")", red},
                        {L7, R"("Here is the new line")", red}, {L8, R"("Here is the new line")", red},
                        {L9, R"("Here is the new line")", red}, {L10, R"("Here is the new line")", red},
                        {ERROR, R"("Here is the new line")", red}, {INSTR, R"("Here is the new line")", red},
                        {L1, R"("Hi ")", red}, {L2, R"("Hi ")", red}, {L3, R"("Hi ")", red}, {L4, R"("Hi ")", red},
                        {L5, R"("Hi ")", red}, {L6, R"("Hi ")", red}, {L7, R"("Hi ")", red}, {L8, R"("Hi ")", red},
                        {L9, R"("Hi ")", red}, {L10, R"("Hi ")", red}, {SUCCESS, R"("Hi ")", red},
                        {ERROR, R"("Hi ")", red}, {INSTR, R"("Hi ")", red}, {L1, "string literal", blue},
                        {L2, "string literal", blue}, {L3, "string literal", blue}, {L4, "string literal", blue},
                        {L5, "string literal", blue}, {L6, "string literal", blue}, {L7, "string literal", blue},
                        {L8, "string literal", blue}, {L9, "string literal", blue}, {L10, "string literal", blue},
                        {SUCCESS, "string literal", blue}, {ERROR, "string literal", blue},
                        {L1, "backslash", comment}, {L2, "backslash", comment}, {L3, "backslash", comment},
                        {L4, "backslash", comment}, {L5, "backslash", comment}, {L6, "backslash", comment},
                        {L7, "backslash", comment}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Hi \nHere is the new line",
    });
}
// clang-format on
