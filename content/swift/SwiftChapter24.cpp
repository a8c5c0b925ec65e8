// Swift course, chapter 24: sets, from declaring and filling one to the set operations.
#include "content/LessonForm.hpp"
#include "content/swift/StoredRules.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

namespace {

const LessonText kTwoSets = "let set1: Set<Int> = [3,4,5]\nlet set2 = Set([4,5,6])\n";

} // namespace

// clang-format off
void buildSwiftChapter24(Chapter& chapter) {
    addLessonStoring(chapter, 52, {
        .id = "CH24L1", .number = 1, .title = "What is a set?",
        .instruction = "A set is an unordered collection of unique values of one type. You use it much like an array, but every value appears only once and there is no order; like a Dictionary, it finds a value fast. In line 2, declare a set called people of type String without initializing it.",
        .code = R"(var numbers: Set<Int>
«var people: Set<String>»)",
        .padTo       = 8,
        .accepted    = {"var people:Set<String>", kShortcutAnswer},
        .success     = "people is a set of String values; it holds no values yet.",
        .hint        = {"Stuck? Break it down!", "1. Declare a variable: var people \n 2. Add a colon and the type Set \n 3. Name the type of its values in angle brackets: <String> \n var people: Set<String>"},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .placeholder = "Tap to answer",
        .words       = {{":", "<", ">"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 2, declare a set called people of type String without initializing it.", comment},
                        {INSTR, "unordered", comment}, {INSTR, "unique", comment}, {INSTR, "Dictionary", blue},
                        {L1, "Set", blue}, {SUCCESS, "set", blue}, {SUCCESS, "String", blue},
                        {ERROR, "var people: Set<String>", comment}},
        .printValue  = "",
    });

    addLessonStoring(chapter, 52, {
        .id = "CH24L2", .number = 2, .title = "Initialize a set",
        .instruction = "An empty set is made from its type with empty parentheses, Set<String>(), or with the type named first and then Set(). In line 3, create an empty set insects of type String.",
        .code = R"(// An empty set needs its type,
// the same way as an empty array
«var insects = Set<String>()»
if insects.isEmpty {
   print("Yeah! There are no bugs.")
})",
        .padTo       = 9,
        .accepted    = {"var insects=Set<String>()", "var insects: Set<String> = Set()", "var insects:Set<String>=Set()", kShortcutAnswer},
        .success     = "insects is an empty set, so isEmpty is true.",
        .hint        = {"Stuck? Break it down!", "1. Declare a variable: var insects \n 2. Make an empty set of String: Set<String>() \n var insects = Set<String>()"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "<", "=", ">", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 3, create an empty set insects of type String.", comment},
                        {INSTR, "Set<String>()", blue}, {INSTR, "Set()", blue}, {L4, "insects", project}, {L4, "isEmpty", blue},
                        {SUCCESS, "set", blue}, {SUCCESS, "isEmpty", blue}, {ERROR, "var insects = Set<String>()", comment}},
        .debugger    = true,
        .printValue  = "Yeah! There are no bugs.",
    });

    addLessonStoring(chapter, 52, {
        .id = "CH24L3", .number = 3, .title = "Infer type of set",
        .instruction = R"(Swift can infer the type of the values: write Set as the type and give an array literal, and the values make it a set of String. In line 1, create a set myStocks that holds "AAPL", letting Swift infer the type of its values.)",
        .code = R"(«var myStocks: Set = ["AAPL"]»)",
        .accepted    = {R"(var myStocks: Set = ["AAPL"])", R"(var myStocks: Set = [ "AAPL" ])", R"(var myStocks:Set=["AAPL"])", kShortcutAnswer},
        .success     = R"(myStocks is a Set<String>: Swift inferred String from "AAPL".)",
        .hint        = {"Stuck? Break it down!", "1. Declare a variable: var myStocks \n 2. Name the type Set without its value type \n 3. Assign an array literal with \"AAPL\" \n var myStocks: Set = [\"AAPL\"]"},
        .placeholder = "Tap to answer",
        .words       = {{"[", ":", "=", "]"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, R"(In line 1, create a set myStocks that holds "AAPL", letting Swift infer the type of its values.)", comment},
                        {INSTR, "Set", blue}, {INSTR, "String", blue}, {SUCCESS, "Set<String>", blue}, {SUCCESS, R"("AAPL")", red},
                        {ERROR, R"(var myStocks: Set = ["AAPL"])", comment}},
        .printValue  = "",
    });

    addLessonStoring(chapter, 52, {
        .id = "CH24L4", .number = 4, .title = "Add item to set",
        .instruction = R"(insert adds a value to a set; a value that is already there is not added twice. In line 2, insert "NANO" into myCoins.)",
        .code = R"(var myCoins: Set = ["BTC"]
«myCoins.insert("NANO")»
print(myCoins))",
        .accepted    = {R"(myCoins.insert( "NANO" ))", kShortcutAnswer},
        .success     = R"(myCoins now holds "BTC" and "NANO". A set has no order, so they may print either way round.)",
        .hint        = {"Stuck? Break it down!", "1. Call insert on myCoins with dot notation \n 2. Pass \"NANO\" \n myCoins.insert(\"NANO\")"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ".", R"(")", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, R"(In line 2, insert "NANO" into myCoins.)", comment}, {INSTR, "insert", blue},
                        {L1, "Set", blue}, {SUCCESS, "myCoins", project}, {SUCCESS, R"("NANO")", red}, {SUCCESS, "set", blue},
                        {ERROR, R"(myCoins.insert("NANO"))", comment}},
        .debugger    = true,
        .printValue  = R"(["BTC", "NANO"])",
    });

    addLessonStoring(chapter, 57, {
        .id = "CH24L5", .number = 5, .title = "Find item in set",
        .instruction = R"(contains tells whether a set holds a value, and it is fast however big the set is. In line 4, check whether "BTC" is in myCoins.)",
        .code = R"(var myCoins = Set(["BTC", "NANO"])
let goodNote = "My bitcoins are safe!"
let badNote = "You don't have any bitcoins!"
«if myCoins.contains("BTC")»{
   print(goodNote)
} else {
   print(badNote)
})",
        .accepted    = {R"(if myCoins.contains( "BTC" ))", kShortcutAnswer},
        .success     = R"(myCoins contains "BTC", so goodNote was printed.)",
        .hint        = {"Stuck? Break it down!", "1. Start an if statement \n 2. Call contains on myCoins with \"BTC\" \n if myCoins.contains(\"BTC\")"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ".", R"(")", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, R"(In line 4, check whether "BTC" is in myCoins.)", comment},
                        {INSTR, "contains", blue}, {L1, R"("BTC")", red}, {L1, R"("NANO")", red}, {L1, "Set", blue},
                        {L2, R"("My bitcoins are safe!")", red}, {L3, R"("You don't have any bitcoins!")", red},
                        {L4, "if", pink}, {L5, "goodNote", project}, {L6, "else", pink}, {L7, "badNote", project},
                        {SUCCESS, "contains", blue}, {SUCCESS, "myCoins", project}, {ERROR, R"(if myCoins.contains("BTC"))", comment}},
        .debugger    = true,
        .printValue  = "My bitcoins are safe!",
        .search      = "ternary operator",
    });

    addLessonStoring(chapter, 52, {
        .id = "CH24L6", .number = 6, .title = "Remove item from set",
        .instruction = R"(remove takes a value out of a set. In line 2, remove "BTC" from myCoins.)",
        .code = R"(var myCoins: Set = ["BTC", "NANO"]
«myCoins.remove("BTC")»
print(myCoins.contains("BTC") ? "My bitcoins are safe!" : "My bitcoins are gone! 😡"))",
        .accepted    = {R"(myCoins.remove( "BTC" ))", kShortcutAnswer},
        .success     = R"("BTC" is gone, so contains gave false and the ternary operator picked the second text.)",
        .hint        = {"Stuck? Break it down!", "1. Call remove on myCoins with dot notation \n 2. Pass \"BTC\" \n myCoins.remove(\"BTC\")"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ".", R"(")", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, R"(In line 2, remove "BTC" from myCoins.)", comment}, {INSTR, "remove", blue},
                        {L1, "Set", blue}, {L3, "contains", blue}, {SUCCESS, "contains", blue}, {SUCCESS, R"("BTC")", red},
                        {ERROR, R"(myCoins.remove("BTC"))", comment}},
        .debugger    = true,
        .printValue  = "My bitcoins are gone! 😡",
    });

    addLessonStoring(chapter, 53, {
        .id = "CH24L7", .number = 7, .title = "Count items in set",
        .instruction = "count tells how many values a set holds. In line 2, create a constant userCount with the number of usernames.",
        .code = R"~(let usernames: Set = ["mira", "tom"]
«let userCount = usernames.count»
print("You have \(userCount) users"))~",
        .accepted    = {kShortcutAnswer},
        .success     = "usernames holds two values, so userCount is 2.",
        .hint        = {"Stuck? Break it down!", "1. Create a constant: let userCount = \n 2. Read the count of usernames \n let userCount = usernames.count"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ".", R"(")", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 2, create a constant userCount with the number of usernames.", comment},
                        {INSTR, "count", blue}, {L1, "Set", blue}, {SUCCESS, "usernames", project}, {SUCCESS, "userCount", project},
                        {ERROR, "let userCount = usernames.count", comment}},
        .debugger    = true,
        .printValue  = "You have 2 users",
    });

    addLessonStoring(chapter, 53, {
        .id = "CH24L8", .number = 8, .title = "A set with range of numbers",
        .instruction = "A set can be made from a range: the half-open range operator ..< leaves out its last number. In line 2, make set2 a set of Int from the range 5..<10.",
        .code = R"(// a set of the numbers 5 to 9
var set2 = «Set<Int>(5..<10)»
print(set2))",
        .accepted    = {kShortcutAnswer},
        .success     = "set2 holds 5 to 9, since ..< leaves out 10. A set has no order, so the numbers print in any order.",
        .hint        = {"Stuck? Break it down!", "1. Make a set of Int: Set<Int>() \n 2. Pass the range 5..<10 \n Set<Int>(5..<10)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "<", ".", ">", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 2, make set2 a set of Int from the range 5..<10.", comment},
                        {INSTR, "..<", pink}, {SUCCESS, "set2", project}, {SUCCESS, "..<", pink}, {SUCCESS, "10", purple},
                        {ERROR, "Set<Int>(5..<10)", comment}},
        .debugger    = true,
        .printValue  = "[6, 9, 5, 7, 8]",
        .search      = "range operator",
    });

    addLessonStoring(chapter, 57, {
        .id = "CH24L9", .number = 9, .title = "Sets with ternary operator",
        .instruction = "An empty array literal [] makes an empty set too, as long as the type is named. In line 2, create an empty set evens of type Int.",
        .code = R"(// keep the even numbers from 1 to 10
«var evens: Set<Int> = []»
for number in 1...10 {
   // the ternary operator picks the new set
   evens = number % 2 == 0 ? evens.union([number]) : evens
}
print(evens))",
        .accepted    = {"var evens = Set<Int>()", "var evens=Set<Int>()", "var evens:Set<Int> = []", "var evens: Set<Int>=[]", "var evens:Set<Int>=[]", kShortcutAnswer},
        .success     = "For every even number the ternary operator chose evens.union([number]), so evens holds 2, 4, 6, 8 and 10.",
        .hint        = {"Stuck? Break it down!", "1. Declare a variable: var evens \n 2. Name its type: Set<Int> \n 3. Assign an empty array literal: [] \n var evens: Set<Int> = [] \n var evens = Set<Int>()"},
        .placeholder = "Tap to answer",
        .words       = {{"[", "<", ":", "=", ">", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 2, create an empty set evens of type Int.", comment},
                        {L5, "union", blue}, {SUCCESS, "evens.union([number])", blue}, {SUCCESS, "evens", project},
                        {ERROR, "var evens: Set<Int> = []", comment}, {ERROR, "var evens = Set<Int>()", comment}},
        .debugger    = true,
        .printValue  = "[6, 10, 2, 4, 8]",
        .search      = "range operator",
    });

    addLessonStoring(chapter, 61, {
        .id = "CH24L10", .number = 10, .title = "Convert array to set",
        .instruction = "A set made from an array keeps each value once and drops the ones that repeat. In line 3, create a constant uniqueNames, a set made from members.",
        .code = R"(let members = ["Bob", "Joe", "Bob", "Lia"]
// a set keeps each name once
«let uniqueNames = Set(members)»
print(uniqueNames))",
        .accepted    = {"let uniqueNames=Set(members)", kShortcutAnswer},
        .success     = R"("Bob" was in members twice, but uniqueNames holds him once.)",
        .hint        = {"Stuck? Break it down!", "1. Create a constant: let uniqueNames = \n 2. Make a set from the array: Set(members) \n let uniqueNames = Set(members)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 3, create a constant uniqueNames, a set made from members.", comment},
                        {INSTR, "array", blue}, {SUCCESS, R"("Bob")", red}, {SUCCESS, "members", project},
                        {SUCCESS, "uniqueNames", project}, {ERROR, "let uniqueNames = Set(members)", comment}},
        .debugger    = true,
        .printValue  = R"(["Bob", "Joe", "Lia"])",
    });

    addLessonStoring(chapter, 68, {
        .id = "CH24L11", .number = 11, .title = "Intersection of sets",
        .instruction = "Picture two overlapping circles: the intersection is the part they share. intersection(_ other: Set) gives a new set of the values that are in both sets. In line 3, create a constant commonNumbers holding the intersection of set1 and set2.",
        .code = kTwoSets + "«let commonNumbers = set1.intersection(set2)»\nprint(commonNumbers)",
        .accepted    = {"let commonNumbers=set1.intersection(set2)", "let commonNumbers = set2.intersection(set1)", "let commonNumbers=set2.intersection(set1)", kShortcutAnswer},
        .success     = "4 and 5 are in both sets, so they make commonNumbers.",
        .hint        = {"Stuck? Break it down!", "1. Create a constant: let commonNumbers = \n 2. Start from set1 \n 3. Call intersection with dot notation \n 4. Pass set2 \n let commonNumbers = set1.intersection(set2)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ".", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 3, create a constant commonNumbers holding the intersection of set1 and set2.", comment},
                        {INSTR, "intersection(_ other: Set)", blue}, {L1, "Set", blue}, {L2, "Set", blue},
                        {SUCCESS, "intersection", blue}, {SUCCESS, "commonNumbers", project}, {SUCCESS, "4", purple},
                        {ERROR, "let commonNumbers = set1.intersection(set2)", comment}},
        .debugger    = true,
        .printValue  = "[5, 4]",
    });

    addLessonStoring(chapter, 70, {
        .id = "CH24L12", .number = 12, .title = "Symmetric difference",
        .instruction = "The symmetric difference holds the values that are in one set or the other, but not in both: the two circles without their overlap. In line 3, create a constant unique with the symmetric difference of set1 and set2.",
        .code = kTwoSets + "«let unique = set1.symmetricDifference(set2)»\nprint(unique)",
        .accepted    = {"let unique=set1.symmetricDifference(set2)", "let unique = set2.symmetricDifference(set1)", "let unique=set2.symmetricDifference(set1)", kShortcutAnswer},
        .success     = "3 is only in set1 and 6 only in set2, so unique holds 3 and 6.",
        .hint        = {"Stuck? Break it down!", "1. Create a constant: let unique = \n 2. Start from set1 \n 3. Call symmetricDifference with dot notation \n 4. Pass set2 \n let unique = set1.symmetricDifference(set2)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ".", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 3, create a constant unique with the symmetric difference of set1 and set2.", comment},
                        {L1, "Set", blue}, {L2, "Set", blue}, {SUCCESS, "unique", project}, {SUCCESS, "set1", project},
                        {SUCCESS, "set2", project}, {ERROR, "let unique = set1.symmetricDifference(set2)", comment}},
        .debugger    = true,
        .printValue  = "[6, 3]",
    });

    addLessonStoring(chapter, 70, {
        .id = "CH24L13", .number = 13, .title = "Union of sets",
        .instruction = "The union holds every value of both sets, each once: both circles together. In line 3, create a constant mergedSet with the union of set1 and set2.",
        .code = kTwoSets + "«let mergedSet = set1.union(set2)»\nprint(mergedSet)",
        .accepted    = {"let mergedSet=set1.union(set2)", "let mergedSet = set2.union(set1)", "let mergedSet=set2.union(set1)", kShortcutAnswer},
        .success     = "mergedSet holds 3, 4, 5 and 6: 4 and 5 are in both sets but appear once.",
        .hint        = {"Stuck? Break it down!", "1. Create a constant: let mergedSet = \n 2. Start from set1 \n 3. Call union with dot notation \n 4. Pass set2 \n let mergedSet = set1.union(set2)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ".", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 3, create a constant mergedSet with the union of set1 and set2.", comment},
                        {INSTR, "union", blue}, {L1, "Set", blue}, {L2, "Set", blue}, {SUCCESS, "mergedSet", project},
                        {ERROR, "let mergedSet = set1.union(set2)", comment}},
        .debugger    = true,
        .printValue  = "[6, 3, 4, 5]",
    });

    addLessonStoring(chapter, 69, {
        .id = "CH24L14", .number = 14, .title = "Subtracting sets",
        .instruction = "subtracting gives the values of one set that are not in the other; unlike union, the order matters. In line 3, create a constant set1Uniques with set2 subtracted from set1.",
        .code = kTwoSets + "«let set1Uniques = set1.subtracting(set2)»\nprint(set1Uniques)",
        .accepted    = {"let set1Uniques=set1.subtracting(set2)", kShortcutAnswer},
        .success     = "3 is the only value of set1 that set2 does not have.",
        .hint        = {"Stuck? Break it down!", "1. Create a constant: let set1Uniques = \n 2. Start from set1 \n 3. Call subtracting with set2 \n let set1Uniques = set1.subtracting(set2)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ".", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 3, create a constant set1Uniques with set2 subtracted from set1.", comment},
                        {INSTR, "subtracting", blue}, {L1, "Set", blue}, {L2, "Set", blue}, {SUCCESS, "set1", project},
                        {SUCCESS, "set2", project}, {ERROR, "let set1Uniques = set1.subtracting(set2)", comment}},
        .debugger    = true,
        .printValue  = "[3]",
    });

    addLessonStoring(chapter, 73, {
        .id = "CH24L15", .number = 15, .title = "Subset",
        .instruction = "isSubset(of:) is true when every value of a set is also in the other set. In line 3, create a constant isSubset that tells whether set2 is a subset of set1.",
        .code = kTwoSets + "«let isSubset = set2.isSubset(of: set1)»\nprint(\"Set 2 is a subset of set 1: \\(isSubset)\")",
        .accepted    = {"let isSubset=set2.isSubset(of: set1)", "let isSubset = set2.isSubset(of:set1)", "let isSubset=set2.isSubset(of:set1)", kShortcutAnswer},
        .success     = "6 is in set2 but not in set1, so set2 is no subset of set1.",
        .hint        = {"Stuck? Break it down!", "1. Create a constant: let isSubset = \n 2. Call isSubset(of:) on set2 \n 3. Pass set1 \n let isSubset = set2.isSubset(of: set1)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ".", ":", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 3, create a constant isSubset that tells whether set2 is a subset of set1.", comment},
                        {INSTR, "isSubset(of:)", blue}, {L1, "Set", blue}, {L2, "Set", blue}, {SUCCESS, "set2", project},
                        {SUCCESS, "set1", project}, {SUCCESS, "6", purple}, {ERROR, "let isSubset = set2.isSubset(of: set1)", comment}},
        .debugger    = true,
        .printValue  = "Set 2 is a subset of set 1: false",
        .search      = "isSubset",
    });

    addLessonStoring(chapter, 72, {
        .id = "CH24L16", .number = 16, .title = "Strict Subset",
        .instruction = "isStrictSubset(of:) is true for a subset that is smaller than the other set: equal sets are subsets of each other, but not strict ones. In line 3, print whether set2 is a strict subset of set1.",
        .code = R"(let set1: Set = [1, 2, 3]
let set2: Set = [1, 2, 3]
«print(set2.isStrictSubset(of: set1))»)",
        .accepted    = {"print(set2.isStrictSubset(of:set1))", kShortcutAnswer},
        .success     = "set1 and set2 hold the same values, so set2 is a subset of set1 but not a strict one.",
        .hint        = {"Stuck? Break it down!", "1. Call print \n 2. Inside, call isStrictSubset(of:) on set2 with set1 \n print(set2.isStrictSubset(of: set1))"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ".", ":", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 3, print whether set2 is a strict subset of set1.", comment},
                        {INSTR, "isStrictSubset(of:)", blue}, {L1, "Set", blue}, {L2, "Set", blue}, {SUCCESS, "set1", project},
                        {SUCCESS, "set2", project}, {ERROR, "print(set2.isStrictSubset(of: set1))", comment}},
        .debugger    = true,
        .printValue  = "false",
    });

    addLessonStoring(chapter, 73, {
        .id = "CH24L17", .number = 17, .title = "Superset",
        .instruction = "isSuperset(of:) is true when a set holds every value of the other set. In line 3, print whether set1 is a superset of set2.",
        .code = R"(let set1: Set = [1, 2, 3]
let set2: Set = [1, 2]
«print(set1.isSuperset(of: set2))»)",
        .accepted    = {"print(set1.isSuperset(of:set2))", kShortcutAnswer},
        .success     = "set1 holds 1 and 2, every value of set2, so it is a superset of set2.",
        .hint        = {"Stuck? Break it down!", "1. Call print \n 2. Inside, call isSuperset(of:) on set1 with set2 \n print(set1.isSuperset(of: set2))"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ".", ":", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 3, print whether set1 is a superset of set2.", comment},
                        {INSTR, "isSuperset(of:)", blue}, {L1, "Set", blue}, {L2, "Set", blue}, {SUCCESS, "set1", project},
                        {SUCCESS, "set2", project}, {ERROR, "print(set1.isSuperset(of: set2))", comment}},
        .debugger    = true,
        .printValue  = "true",
        .search      = "isSuperset",
    });

    addLessonStoring(chapter, 74, {
        .id = "CH24L18", .number = 18, .title = "Disjoint",
        .instruction = "isDisjoint(with:) is true when two sets have no value in common. In line 3, print whether lostItems and foundItems are disjoint.",
        .code = R"(let lostItems: Set = ["keys", "phone"]
let foundItems: Set = ["phone", "wallet"]
«print(lostItems.isDisjoint(with: foundItems))»)",
        .accepted    = {"print(lostItems.isDisjoint(with:foundItems))", "print(foundItems.isDisjoint(with: lostItems))", "print(foundItems.isDisjoint(with:lostItems))", kShortcutAnswer},
        .success     = R"(Both sets hold "phone", so they are not disjoint. You finished the sets chapter!)",
        .hint        = {"Stuck? Break it down!", "1. Call print \n 2. Inside, call isDisjoint(with:) on lostItems with foundItems \n print(lostItems.isDisjoint(with: foundItems))"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ".", ":", ")"}},
        .colors      = {{INSTR, "set", blue}, {INSTR, "In line 3, print whether lostItems and foundItems are disjoint.", comment},
                        {INSTR, "isDisjoint(with:)", blue}, {L1, "Set", blue}, {L2, "Set", blue}, {SUCCESS, R"("phone")", red},
                        {ERROR, "print(lostItems.isDisjoint(with: foundItems))", comment}},
        .debugger    = true,
        .printValue  = "false",
        .search      = "isDisjoint",
    });
}
// clang-format on
