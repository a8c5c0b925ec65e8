// Swift course, chapter 7: strings and characters, appending, counting, prefixes, indexes, ranges
// and six challenges.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

#include <utility>

using namespace content;
using namespace content::form;

namespace {

// Every lesson of this chapter prints through the answer-key dictionaries in the debugger view.
Lesson::Ptr add(Chapter& chapter, LessonForm form) {
    form.debugger = true;
    form.blankDebugTexts = true;
    return addLesson(chapter, std::move(form));
}

} // namespace

// clang-format off
void buildSwiftChapter7(Chapter& chapter) {
    add(chapter, {
        .id = "CH7L1", .number = 1, .title = "STRINGS & CHARACTERS",
        .instruction = R"(for char in word loops over let word = "Swift" one Character at a time. Use print so that every char that is not "i" is shown.)",
        .code = R"(let word = "Swift"
for char in word {
   if char != "i" {
       «print(char)»
   }
})",
        .accepted    = {"print(char)"},
        .hint        = {"Stuck? Break it down.", "1. for char in word hands you each char\n2. Use print\n3. Pass it char\nprint(char)"},
        .placeholder = "Add code",
        .words       = {{"(", "=", ")"}},
        .colors      = {{INSTR, "Character", blue}},
        .colorCount  = 21,
        .outputs     = {{"print(char)", "S\nw\nf\nt", "The loop handed you one Character at a time."}},
        .video       = "11cUzYZAa3u",
    });

    add(chapter, {
        .id = "CH7L2", .number = 2, .title = "Append Character",
        .instruction = "Add warmGreeting to the end of greeting with append.",
        .code = R"(var greeting = "Hello"
let warmGreeting = ", friend!"
«greeting.append(warmGreeting)»
print(greeting))",
        .hint        = {"Stuck?", "1. greeting.append( )\n2. Put warmGreeting inside\ngreeting.append(warmGreeting)"},
        .placeholder = "Add code",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "append", blue}, {INSTR, "greeting", project}, {INSTR, "warmGreeting", project}},
        .colorCount  = 15,
        .outputs     = {{"greeting.append(warmGreeting)", "Hello, friend!", "append changes the String itself, so greeting must be a var."}},
        .video       = "2olZU6uqbgs",
    });

    add(chapter, {
        .id = "CH7L3", .number = 3, .title = "Counting Characters",
        .instruction = "count gives the number of characters in a String. Count the words that have exactly 3 letters.",
        .code = R"(let words = ["cat", "horse", "dog", "mouse"]
var count = 0
for word in words {
   «if word.count == 3» {
      count += 1
   }
}
print(count))",
        .accepted    = {"if word.count==3"},
        .hint        = {"Stuck?", "1. if word.count\n2. == 3\nif word.count == 3"},
        .words       = {{".", "=", ")"}},
        .colors      = {{INSTR, "count", blue}, {INSTR, "3", purple}},
        .colorCount  = 23,
        .outputs     = {{"3", "2", "\"cat\" and \"dog\" have three letters each."}},
        .video       = "YlVvsSKuvin",
    });

    add(chapter, {
        .id = "CH7L4", .number = 4, .title = "Prefix of String",
        .instruction = R"(let mobile = "415-555-0199". The area code is the first 3 characters of mobile. Take them with prefix(3).)",
        .code = R"(let mobile = "415-555-0199"
let areaCode = «mobile.prefix(3)»
print(areaCode))",
        .hint        = {"Stuck?", "1. Start with mobile\n2. .prefix(3)\nmobile.prefix(3)"},
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "prefix(3)", blue}},
        .colorCount  = 13,
        .outputs     = {{"mobile", "415", "prefix(n) gives the first n characters."}},
        .video       = "X-zMqf9OgXl",
    });

    add(chapter, {
        .id = "CH7L5", .number = 5, .title = "Empty string",
        .instruction = "Initialize an empty string called appName.",
        .code = R"(«var appName = ""»)",
        .accepted    = {R"(let appName = "")", "let appName = String()", "var appName = String()", R"(let appName="")",
                        "var appName: String = String()", R"(var appName: String = "")"},
        .hint        = {"Stuck?", "1. Create var appName\n2. Initialize it with an empty string: \"\" or String()\n3. let would make a constant instead\nvar appName = \"\""},
        .placeholder = "Initialize empty string",
        .words       = {{"=", R"(")"}},
        .colors      = {{INSTR, "appName", project}, {L1, "var", pink},
                        {ERROR, "var appName", comment}, {ERROR, R"(var appName = "")", comment},
                        {INSTR, "empty string", comment}, {ERROR, "empty string", comment}, {ERROR, "String()", blue},
                        {ERROR, R"("")", red}, {SUCCESS, R"("")", red}, {SUCCESS, "String()", blue},
                        {SUCCESS, "constant", comment}, {SUCCESS, "=", pink}},
        .colorCount  = 20,
        .outputs     = {{R"(var appName = "")", "", R"(An empty String: print shows nothing, and "" and String() make the same one. As a var, appName can be filled in later.)"},
                        {R"(let appName = "")", "", R"(An empty String: print shows nothing, and "" and String() make the same one. Careful: a let constant stays empty forever.)"},
                        {"let appName = String()", "", R"(An empty String: print shows nothing, and "" and String() make the same one. Careful: a let constant stays empty forever.)"},
                        {"var appName = String()", "", R"(An empty String: print shows nothing, and "" and String() make the same one. As a var, appName can be filled in later.)"},
                        {"var appName: String = String()", "", R"(An empty String: print shows nothing, and "" and String() make the same one. As a var, appName can be filled in later.)"},
                        {R"(var appName: String = "")", "", R"(An empty String: print shows nothing, and "" and String() make the same one. As a var, appName can be filled in later.)"},
                        {R"(let appName="")", "", R"(An empty String: print shows nothing, and "" and String() make the same one. Careful: a let constant stays empty forever.)"}},
        .video       = "uCZz8xBfZuX",
    });

    add(chapter, {
        .id = "CH7L6", .number = 6, .title = "Value types",
        .instruction = "greeting2 gets a copy of greeting1, then changes. Use print on either greeting to see what happened.",
        .code = R"(var greeting1 = "Hi"
var greeting2 = greeting1
greeting2 = "Hello"
«print(greeting1)»)",
        .accepted    = {"print( greeting1 )", "print(greeting2)", "print( greeting2)"},
        .hint        = {"Stuck?", "1. print( )\n2. greeting1 or greeting2 inside\nprint(greeting1)"},
        .placeholder = "Print greeting",
        .words       = {{"(", "1", "2", ")"}},
        .colors      = {{INSTR, "copy", comment}},
        .colorCount  = 17,
        .outputs     = {{"print(greeting1)", "Hi", "Strings are values: changing the copy left greeting1 alone."},
                        {"print( greeting1 )", "Hi", "Strings are values: changing the copy left greeting1 alone."},
                        {"print(greeting2)", "Hello", "Only the copy changed: greeting1 is still \"Hi\"."},
                        {"print( greeting2 )", "Hello", "Only the copy changed: greeting1 is still \"Hi\"."},
                        {"print( greeting2)", "Hello", "Only the copy changed: greeting1 is still \"Hi\"."}},
        .video       = "TptFyfePpX6",
    });

    add(chapter, {
        .id = "CH7L7", .number = 7, .title = "Lowercase String",
        .instruction = R"(var message = "Hi There!" is shouting. Change message to lowercase with lowercased(), so print shows it in small letters.)",
        .code = R"(var message = "Hi There!"
message =«message.lowercased()»
print(message)
)",
        .lines       = 3,
        .accepted    = {"message.uppercased()"},
        .hint        = {"Stuck?", "1. message.\n2. lowercased()\nmessage.lowercased()"},
        .placeholder = "Change to lowercase",
        .words       = {{".", "(", ")"}},
        .colors      = {{INSTR, "lowercased()", blue}},
        .colorCount  = 14,
        .outputs     = {{"message.lowercased()", "hi there!", "message.lowercased() returns a new String in small letters."},
                        {"message.uppercased()", "HI THERE!", "That is uppercased(): every letter of message a capital."}},
        .video       = "N1NF2XV54wc",
    });

    add(chapter, {
        .id = "CH7L8", .number = 8, .title = "String interpolation",
        .instruction = R"(Store "Never give up" in var quote, with its quotes. Quotes inside a String need a backslash: \")",
        .code = R"(var quote =«"\"Never give up\""»
print(quote))",
        .hint        = {"Stuck?", "1. Start and end the String with a double quote\n2. Write a backslash before each inner quote\n\"\\\"Never give up\\\"\""},
        .placeholder = "Add quote",
        .words       = {{R"(")", R"(\)"}},
        .colors      = {{INSTR, R"(\")", orange}},
        .colorCount  = 13,
        .outputs     = {{R"("\"Never give up\"")", R"("Never give up")", "\\\" puts a quote inside a String without ending it."}},
        .video       = "a-7E56w8Zni",
    });

    add(chapter, {
        .id = "CH7L9", .number = 9, .title = "Search String in String",
        .instruction = R"(if sentence.contains("fun") asks whether one String is inside let sentence = "Swift is fun", and print shows "Found it!". Add the keyword for the other case, which prints "Not found".)",
        .code = R"(let sentence = "Swift is fun"
if sentence.contains("fun") {
   print("Found it!")
   // contains is case-sensitive
}«else»{
   print("Not found")
})",
        .hint        = {"Confused?", "1. if sentence.contains(\"fun\") is the test\n2. The second branch runs when the test is false\n3. else"},
        .placeholder = "Add code",
        .colors      = {{INSTR, "contains", blue}},
        .colorCount  = 32,
        .outputs     = {{"else", "Found it!", R"(if found "fun" in the sentence, so the first branch runs and print shows "Found it!"; else is skipped. let sentence = "Swift is fun" really contains it.)"}},
        .video       = "qT3Ul4ffqkO",
    });

    add(chapter, {
        .id = "CH7L10", .number = 10, .title = "nth Character of String",
        .instruction = R"(let str = "Velomarinth" is read through an index, not a number: index points at offset 4. Get that character into let charAtIndex, so print shows it.)",
        .code = R"(let str = "Velomarinth"
let index = str.index(str.startIndex, offsetBy: 4)
let charAtIndex = «str[index]»
print(charAtIndex))",
        .accepted    = {"str [index]"},
        .hint        = {"Confused?", "1. Start with str\n2. Put index in square brackets\nstr[index]"},
        .placeholder = "Add code",
        .words       = {{"[", "(", ".", ")", "]"}},
        .colors      = {{INSTR, "index", project}},
        .colorCount  = 24,
        .outputs     = {{"str", "m", R"(str[index] reads the character of let str = "Velomarinth" at index: offsets count from 0, so V e l o m gives m.)"}},
        .video       = "kgWrdioyq-K",
    });

    add(chapter, {
        .id = "CH7L11", .number = 11, .title = "Ranges",
        .instruction = "A range of indexes cuts a slice out of a String. Print one of the three slices.",
        .code = R"(let title = "Lesson 11: Ranges"
let index = title.firstIndex(of: ":")!
let firstSliceUpToIndex = title[..<index]
let firstSliceWithIndex = title[...index]
let secondSliceWithIndex = title[index...]
   «print(firstSliceWithIndex)»
// try the other two slices as well)",
        .accepted    = {"print(firstSliceUpToIndex)", "print(secondSliceWithIndex)"},
        .hint        = {"Confused?", "1. print( )\n2. the name of a slice\nprint(firstSliceWithIndex)"},
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "range", comment}},
        .colorCount  = 21,
        .outputs     = {{"print(firstSliceWithIndex)", "Lesson 11:", "...index goes up to and includes the colon."},
                        {"print(firstSliceUpToIndex)", "Lesson 11", "..<index stops right before the colon."},
                        {"print(secondSliceWithIndex)", ": Ranges", "index... starts at the colon and runs to the end."}},
        .video       = "vCiSGuPJ6sG",
    });

    add(chapter, {
        .id = "CH7L12", .number = 12, .title = "Challenge 1",
        .instruction = "Finish the note with one of the emotions: add it with +=.",
        .code = R"(let emotions = ["great", "awesome", "tired"]
var note = "I am feeling "
«note += emotions[0]»
print(note))",
        .accepted    = {"note += emotions[1]", "note += emotions[2]"},
        .hint        = {"Need help?", "1. note +=\n2. an item of emotions: emotions[0]\nnote += emotions[0]"},
        .placeholder = "Update note",
        .words       = {{"[", "+", "=", "]"}},
        .colors      = {{INSTR, "+=", pink}},
        .colorCount  = 13,
        .outputs     = {{"note += emotions[0]", "I am feeling great", "+= adds a String to the end of another."},
                        {"note += emotions[1]", "I am feeling awesome", "+= adds a String to the end of another."},
                        {"note += emotions[2]", "I am feeling tired", "+= adds a String to the end of another. Take a break soon!"}},
        .video       = "9AHEOVezxZu",
    });

    add(chapter, {
        .id = "CH7L13", .number = 13, .title = "Challenge 2 - Split String",
        .instruction = R"(let words = sentence.split(separator: " ") cut let sentence into words. Use print to show how many words there are.)",
        .code = R"(let sentence = "Practice a little every day"
let words = sentence.split(separator: " ")
// words is an array of the words
«print(words.count)»)",
        .success     = "Five words!",
        .hint        = {"Need help?", "1. print( )\n2. words.count\nprint(words.count)"},
        .placeholder = "Add code",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "split", blue}},
        .colorCount  = 17,
        .outputs     = {{"print(words.count)", "5", "split returns an array, and words.count counts its items."},
                        {"print( words.count )", "5", "split returns an array, and words.count counts its items."}},
        .video       = "JPWvHogU5nG",
    });

    add(chapter, {
        .id = "CH7L14", .number = 14, .title = "Challenge 3 - Trim String",
        .instruction = R"(var str = "   Robin   " has spaces around the name; line 2 trims them. Use print to show str.)",
        .code = R"(var str = "   Robin   "
str = str.trimmingCharacters(in: .whitespaces)
// the spaces at both ends are gone
«print(str)»)",
        .hint        = {"Need help?", "1. print( )\n2. str\nprint(str)"},
        .placeholder = "Add code",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "trims", comment}},
        .colorCount  = 14,
        .outputs     = {{"print", "Robin", "print(str) shows Robin: trimmingCharacters(in: .whitespaces) removed the blanks at both ends of var str."}},
        .video       = "YVHWVsUQk4D",
    });

    add(chapter, {
        .id = "CH7L15", .number = 15, .title = "Challenge 4 - String Index",
        .instruction = "first is the first Character of a String, as an optional. Unwrap it with !",
        .code = R"(let greeting = "Hello"
var firstChar: Character
firstChar = «greeting.first!»
print(firstChar))",
        .success     = "H is for Hello!",
        .hint        = {"Need help?", "1. greeting.first\n2. Unwrap it with !\ngreeting.first!"},
        .placeholder = "Add code",
        .words       = {{".", "!"}},
        .colors      = {{INSTR, "first", blue}, {INSTR, "!", pink}},
        .colorCount  = 13,
        .outputs     = {{"greeting", "H", "first is optional because a String can be empty."}},
        .video       = "wgLGNOaeCtL",
    });

    add(chapter, {
        .id = "CH7L16", .number = 16, .title = "Challenge 5 - Array to String",
        .instruction = "Get the last word through its index: count minus 1.",
        .code = R"(let words = ["Just", "do", "It"]
let lastWord = «words[words.count - 1]»
print(lastWord))",
        .accepted    = {"words[words.count-1]"},
        .hint        = {"Need help?", "1. The last index is count - 1\n2. words[words.count - 1]"},
        .placeholder = "Add code",
        .words       = {{"[", ".", "]"}},
        .colors      = {{INSTR, "count", blue}},
        .colorCount  = 12,
        .outputs     = {{"1", "It", "count - 1 is always the last index, however long the array."},
                        {"2", "It", "That works here, but a fixed index breaks when the array changes."},
                        {"last", "It", "words.last! does the same in a shorter way."}},
        .video       = "31Ugq-Dfcga",
    });

    add(chapter, {
        .id = "CH7L17", .number = 17, .title = "Challenge 6 - Join Array of Strings",
        .instruction = "Join the items into one String, separated by spaces.",
        .code = R"(let items = ["bread", "bananas", "apples"]
let list = «items.joined(separator: " ")»
print(list))",
        .accepted    = {R"(items.joined(separator:" "))", R"(items.joined(separator:", "))", R"(items.joined(separator: ", "))",
                        R"(items.joined(separator:","))", R"(items.joined(separator: ","))"},
        .hint        = {"Need help?", "1. items.joined( )\n2. separator: \" \"\nitems.joined(separator: \" \")"},
        .placeholder = "Add code",
        .words       = {{"(", ":", ".", R"(")", ",", ")"}},
        .colors      = {{L1, "let", pink}, {L1, R"("bread")", red}, {L3, "print", blue}},
        .colorCount  = 13,
        .outputs     = {{R"(items.joined(separator: " "))", "bread bananas apples", "joined glues the items together with the separator between them."},
                        {R"(items.joined(separator:" "))", "bread bananas apples", "joined glues the items together with the separator between them."},
                        {R"(items.joined(separator:", "))", "bread, bananas, apples", "joined glues the items together with the separator between them."},
                        {R"(items.joined(separator: ", "))", "bread, bananas, apples", "joined glues the items together with the separator between them."},
                        {R"(items.joined(separator:","))", "bread,bananas,apples", "joined glues the items together with the separator between them."},
                        {R"(items.joined(separator: ","))", "bread,bananas,apples", "joined glues the items together with the separator between them."}},
        .video       = "TMnTC0MrAU8",
    });
}
// clang-format on
