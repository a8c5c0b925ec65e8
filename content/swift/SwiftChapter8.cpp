// Swift course, chapter 8: dictionaries: lookup, add, update, remove, loops over pairs, keys and
// values, a three-step challenge, ?? for missing keys, grouping and arrays from values.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

#include <utility>

using namespace content;
using namespace content::form;

namespace {

constexpr char kNicelyDone[] = "Nicely done.  ";

// Every lesson of this chapter has empty debugger texts.
Lesson::Ptr add(Chapter& chapter, LessonForm form) {
    form.blankDebugTexts = true;
    return addLesson(chapter, std::move(form));
}

} // namespace

// clang-format off
void buildSwiftChapter8(Chapter& chapter) {
    add(chapter, {
        .id = "CH8L1", .number = 1, .title = "What is a Dictionary?",
        .instruction = R"(A dictionary stores values under keys. Look up the meaning of "swiftly" by its key.)",
        .code = R"(let dictionary = ["swiftly": "with speed", "vast": "very big"]
// look a word up by its key
var definition = dictionary[«"swiftly"»]
print(definition!))",
        .hint        = {"Stuck?", "1. The key goes between the brackets\n2. Keys are Strings here: \"swiftly\""},
        .placeholder = " Tap to answer ",
        .words       = {{R"(")", "="}},
        .colors      = {{INSTR, R"("swiftly")", red}, {INSTR, "keys", comment}},
        .colorCount  = 13,
        .debugger    = true,
        .outputs     = {{R"("swiftly")", "with speed", "A key finds its value in an instant."}},
        .video       = "urbFt5misIZ",
    });

    add(chapter, {
        .id = "CH8L2", .number = 2, .title = "Add item to Dictionary",
        .instruction = R"(Add California to states under the key "CA".)",
        .code = R"(var states = [String: String]()
states["NY"] = "New York"
«states["CA"] = "California"»
print(states["CA"]!)
// a new key adds an item
// an existing key updates it)",
        .accepted    = {R"(states ["CA"] = "California")", R"(states["CA"]="California")"},
        .hint        = {"Stuck?", "1. states[\"CA\"]\n2. = \"California\""},
        .placeholder = R"(Add "CA" to states dictionary)",
        .words       = {{"[", R"(")", "=", "]"}},
        .colors      = {{INSTR, R"("CA")", red}, {INSTR, "states", project}},
        .colorCount  = 15,
        .debugger    = true,
        .outputs     = {{"states", "California", "Assigning to a new key adds the item."}},
        .video       = "HbhS4_Fvafh",
    });

    add(chapter, {
        .id = "CH8L3", .number = 3, .title = "Initialze empty Dictionary",
        .instruction = "Use var to create numbers, an empty dictionary: its keys are String values and its values Int values, written [String : Int], and () creates it.",
        .code = R"(«var numbers = [String : Int]()»)",
        .accepted    = {"var numbers = [String: Int]()", "var numbers=[String: Int]()", "var numbers = [String:Int]()",
                        "var numbers=[String:Int]()"},
        .success     = kNicelyDone,
        .hint        = {"Stuck?", "1. var numbers =\n2. [String : Int]\n3. () to create it: var numbers = [String : Int]()"},
        .placeholder = "Initialize numbers dictionary",
        .words       = {{"[", "(", ":", "=", ")", "]"}},
        .colors      = {{INSTR, "String", blue}, {INSTR, "Int", blue},
                        {INSTR, "empty dictionary", comment}, {INSTR, "[String : Int]", comment}, {INSTR, "()", pink},
                        {SUCCESS, "Nicely done.", comment}, {ERROR, "[String : Int]", comment}, {ERROR, "()", pink},
                        {ERROR, "=", pink}, {ERROR, ":", pink}, {ERROR, "create it", comment}, {INSTR, "keys", comment}, {INSTR, "values", comment},
                        {ERROR, "var numbers = [String : Int]()", comment}},
        .colorCount  = 20,
        .outputs     = {{"numbers", "[:]", kNicelyDone}},
        .video       = "dZxEuhnbzs0",
    });

    add(chapter, {
        .id = "CH8L4", .number = 4, .title = "Update item in Dictionary",
        .instruction = R"(var items holds apples and eggs. You bought more: set the quantity of "apples" (or "eggs") to 5.)",
        .code = R"(var items = [String: Int]()
items["apples"] = 2
items["eggs"] = 3
«items["apples"] = 5»
print(items))",
        .accepted    = {R"(items["eggs"] = 5)", R"(items["eggs"]=5)", R"(items["apples"]=5)"},
        .success     = kNicelyDone,
        .hint        = {"Stuck?", "1. Look at line 2 or 3\n2. Use the same form with the quantity 5"},
        .placeholder = "Update items",
        .words       = {{"[", R"(")", "=", "]"}},
        .colors      = {{L2, R"("apples")", red}, {L2, "2", purple}, {L3, R"("eggs")", red}, {L5, "print", blue}},
        .colorCount  = 17,
        .debugger    = true,
        .outputs     = {{R"(items["apples"] = 5)", R"(["eggs": 3, "apples": 5])", "An existing key gets its new value. Next: removing an item."},
                        {R"(items["apples"]=5)", R"(["eggs": 3, "apples": 5])", "An existing key gets its new value. Next: removing an item."},
                        {R"(items["eggs"] = 5)", R"(["eggs": 5, "apples": 2])", "An existing key gets its new value. Next: removing an item."},
                        {R"(items["eggs"]=5)", R"(["eggs": 5, "apples": 2])", "An existing key gets its new value. Next: removing an item."}},
        .video       = "z1wNiMg9aW3",
    });

    add(chapter, {
        .id = "CH8L5", .number = 5, .title = "Remove item from Dictionary",
        .instruction = "Remove one of the phone numbers by setting its key to nil.",
        .code = R"(var numbers = [String: String]()
numbers["home"] = "555-0100"
numbers["mobile"] = "555-0199"
«numbers["home"]=nil»
print(numbers))",
        .accepted    = {R"(numbers["mobile"]=nil)", R"(numbers["mobile"] = nil)", R"(numbers["home"] = nil)"},
        .success     = kNicelyDone,
        .hint        = {"Stuck?", "1. numbers[\"home\"]\n2. = nil"},
        .placeholder = "Update items",
        .words       = {{"[", R"(")", "=", "]"}},
        .colors      = {{INSTR, "nil", pink}},
        .colorCount  = 16,
        .debugger    = true,
        .outputs     = {{R"(numbers["home"] = nil)", R"(["mobile": "555-0199"])", "nil removes the key and its value."},
                        {R"(numbers["home"]=nil)", R"(["mobile": "555-0199"])", "nil removes the key and its value."},
                        {R"(numbers["mobile"] = nil)", R"(["home": "555-0100"])", "nil removes the key and its value."},
                        {R"(numbers["mobile"]=nil)", R"(["home": "555-0100"])", "nil removes the key and its value."}},
        .video       = "7k5wCnHDepQ",
    });

    add(chapter, {
        .id = "CH8L6", .number = 6, .title = "Iterate over Dictionary",
        .instruction = "for (plan, value) in prices gets every plan with its price. Print only the plans that cost more than 3.",
        .code = R"(let prices = ["Basic": 2, "Premium": 5]
// loop over every key-value pair
for (plan, value) in prices {
   // value is the price of plan
   «if value > 3» {
      print("\(plan) costs more than $3")
   }
})",
        .accepted    = {"if value>3"},
        .success     = kNicelyDone,
        .hint        = {"Stuck?", "1. if value\n2. > 3"},
        .placeholder = "Add if statement",
        .words       = {{">", "="}},
        .colors      = {{INSTR, "3", purple}},
        .colorCount  = 20,
        .debugger    = true,
        .outputs     = {{"if", "Premium costs more than $3", "A for-in loop over a dictionary gives (key, value) pairs."}},
        .video       = "HgI3HLBkbvH",
    });

    add(chapter, {
        .id = "CH8L7", .number = 7, .title = "Iterate over values",
        .instruction = "for value in rooms.values gets just the values. Add every hall's seats to seatCount.",
        .code = R"~(let rooms = ["Hall A": 120, "Hall B": 80, "Hall C": 50]
var seatCount = 0
// values gives just the values
for value in rooms.values {
   // add every hall's seats
   «seatCount += value»
}
print("Capacity = \(seatCount) seats"))~",
        .accepted    = {"seatCount = seatCount + value", "seatCount = value + seatCount", "seatCount+=value"},
        .success     = kNicelyDone,
        .hint        = {"Stuck?", "1. seatCount +=\n2. value"},
        .placeholder = "Update seatCount",
        .words       = {{"+", "="}},
        .colors      = {{INSTR, "values", blue}, {INSTR, "seatCount", project}},
        .colorCount  = 26,
        .debugger    = true,
        .outputs     = {{"seatCount", "Capacity = 250 seats", "120 + 80 + 50 = 250."}},
        .video       = "EzuPyXQEW88",
    });

    add(chapter, {
        .id = "CH8L8", .number = 8, .title = "Iterate over keys",
        .instruction = "keys gives just the keys. Write the loop so each ticket name comes from the keys of tickets.",
        .code = R"(let tickets = ["Single Entry": 15, "Season Pass": 149]
var names = [String]()
// keys gives just the keys
// add every ticket name
for ticket in  «tickets.keys» {
   names.append(ticket)
}
print(names))",
        .success     = kNicelyDone,
        .hint        = {"Stuck?", "1. Each ticket comes from tickets\n2. .keys"},
        .words       = {{".", "="}},
        .colors      = {{INSTR, "keys", blue}, {INSTR, "tickets", project}, {ERROR, ".keys", blue}},
        .colorCount  = 24,
        .debugger    = true,
        .outputs     = {{"tickets.keys", R"(["Single Entry", "Season Pass"])", "keys is a collection of every key of the dictionary."}},
        .video       = "ad3DNBYjvse",
    });

    add(chapter, {
        .id = "CH8L9", .number = 9, .title = "Challenge 1 - 1/3",
        .instruction = "Challenge: raise every price by 10. First write for (ticket, price) in tickets to loop over the pairs of var tickets.",
        .code = R"(var tickets = [String: Int]()
tickets["Single Entry"] = 15
tickets["Season Pass"] = 149
«for (ticket, price) in tickets» {)",
        .accepted    = {"for (ticket,price) in tickets", "for (key,value) in tickets", "for (key, value) in tickets",
                        "for (myKey,myValue) in tickets"},
        .success     = "Step 1 done. You may name the two loop constants as you like: (ticket, price) or (key, value). Pick names that say what they hold.",
        .hint        = {"Stuck?", "1. for (ticket, price)\n2. in tickets"},
        .words       = {{".", "="}},
        .colors      = {{INSTR, "tickets", project}, {SUCCESS, "Step 1", comment}, {SUCCESS, "(ticket, price)", comment},
                        {SUCCESS, "(key, value)", comment}, {ERROR, "for", pink}, {ERROR, "in", pink}, {ERROR, "price", project},
                        {SUCCESS, "price", project}},
        .colorCount  = 25,
        .outputs     = {{"tickets", "", "The loop visits every ticket and its price."}},
        .video       = "donuSsddfrf",
    });

    add(chapter, {
        .id = "CH8L10", .number = 10, .title = "Challenge 1 - 2/3",
        .instruction = "Inside the loop, store price + 10 under the same ticket.",
        .code = R"(var tickets = [String: Int]()
tickets["Single Entry"] = 15
tickets["Season Pass"] = 149
for (ticket, price) in tickets {
   «tickets[ticket] = price + 10»
}
print(tickets))",
        .accepted    = {"tickets[ticket]=price+10", "tickets[ ticket ] = price + 10"},
        .hint        = {"Stuck?", "1. Under the same ticket: tickets[ticket] =\n2. price + 10"},
        .words       = {{"(", ",", ")"}},
        .colors      = {{INSTR, "price", project}, {INSTR, "10", purple}, {INSTR, "+", pink}, {ERROR, "price", project},
                        {ERROR, "10", purple}},
        .colorCount  = 25,
        .debugger    = true,
        .outputs     = {{"tickets", R"(["Single Entry": 25, "Season Pass": 159])", "Every price went up by 10."}},
        .video       = "ifiUziXnFAA",
    });

    add(chapter, {
        .id = "CH8L11", .number = 11, .title = "Challenge 1 - 3/3",
        .instruction = "Now for key in tickets.keys loops over the keys only. Look the price up with tickets[key], unwrap it, and add 10.",
        .code = R"(var tickets = [String: Int]()
tickets["Single Entry"] = 15
tickets["Season Pass"] = 149
for key in tickets.keys {
   «tickets[key] = tickets[key]! + 10»
}
print(tickets))",
        .accepted    = {"tickets[key]=tickets[key]!+10"},
        .hint        = {"Stuck?", "1. for key in tickets.keys gives each key: tickets[key] =\n2. tickets[key]! + 10"},
        .wrong       = {{"Unwrap the optional!", "A dictionary lookup gives an optional value. Unwrap it with ! before adding: tickets[key]!",
                         "tickets[key] = tickets[key] +", true},
                        {"Unwrap the optional!", "A dictionary lookup gives an optional value. Unwrap it with ! before adding: tickets[key]!",
                         "tickets[key]=tickets[key]+", true}},
        .words       = {{"[", "=", "!", "]"}},
        .colors      = {{L2, R"("Single Entry")", red}, {L2, "15", purple}, {L3, "149", purple},
                        {ERROR, "!", comment}, {ERROR, "tickets", project}},
        .colorCount  = 25,
        .debugger    = true,
        .outputs     = {{"tickets", R"(["Single Entry": 25, "Season Pass": 159])", "Challenge complete! Every price went up by 10."}},
        .video       = "oeelK9mqmAL",
    });

    add(chapter, {
        .id = "CH8L12", .number = 12, .title = "Nil-coalescing operator",
        .instruction = R"(A missing key gives nil; ?? supplies a default. Print the state for "ZZ", "CA" or "NY".)",
        .code = R"(var states = [String: String]()
states["CA"] = "California"
states["NY"] = "New York"
«print(states["ZZ"]» ?? "Invalid key"))",
        .accepted    = {R"(print(states["CA"])", R"(print(states["NY"])"},
        .hint        = {"Stuck?", "1. print(states[ ]\n2. put a key in quotes: \"ZZ\""},
        .placeholder = "Add code",
        .words       = {{"[", R"(")", "=", "]"}},
        .colors      = {{INSTR, "??", pink}},
        .colorCount  = 23,
        .debugger    = true,
        .outputs     = {{R"(print(states["ZZ"])", "Invalid key", "\"ZZ\" is no key, so ?? gives the default."},
                        {R"(print(states["CA"])", "California", "\"CA\" is a key, so print shows its value."},
                        {R"(print(states["NY"])", "New York", "\"NY\" is a key, so print shows its value."}},
        .video       = "OR2HcSGKgVP",
    });

    add(chapter, {
        .id = "CH8L13", .number = 13, .title = "Update value for key",
        .instruction = R"(var students = ["grade1": 19, "grade2": 23, "grade3": 18]. Set grade3 to 21 with updateValue(_:forKey:), so print shows 21.)",
        .code = R"(var students = ["grade1": 19, "grade2": 23, "grade3": 18]
// give grade3 a new value
«students.updateValue(21, forKey: "grade3")»
print(students["grade3"]!))",
        .accepted    = {R"(students.updateValue(21,forKey: "grade3"))", R"(students.updateValue(21,forKey:"grade3"))",
                        R"(students.updateValue( 21,forKey: "grade3"))", R"(students.updateValue( 21, forKey: "grade3"))",
                        R"(students.updateValue( 21, forKey:"grade3"))"},
        .hint        = {"Stuck?", "1. students.updateValue( )\n2. 21, forKey: \"grade3\""},
        .placeholder = "Add code",
        .words       = {{"(", ".", ",", ":", R"(")", ")"}},
        .colors      = {{INSTR, "updateValue", blue}, {INSTR, "19", purple}, {INSTR, "23", purple}, {INSTR, "18", purple},
                        {INSTR, "21", purple}},
        .colorCount  = 25,
        .debugger    = true,
        .outputs     = {{"students", "21", "updateValue changes the value and hands back the old one."}},
        .video       = "8Kd0d3mS8gB",
    });

    add(chapter, {
        .id = "CH8L14", .number = 14, .title = "Remove value for key",
        .instruction = R"(var students = ["grade1": 19, "grade2": 23, "grade3": 18]. Remove grade2 with removeValue(forKey:), so print finds no value for "grade2".)",
        .code = R"(var students = ["grade1": 19, "grade2": 23, "grade3": 18]
// take grade2 out
«students.removeValue(forKey: "grade2")»
print(students["grade2"] ?? "Invalid key"))",
        .accepted    = {R"(students.removeValue(forKey:"grade2"))", R"(students.removeValue( forKey:"grade2"))",
                        R"(students.removeValue( forKey: "grade2"))"},
        .hint        = {"Stuck?", "1. students.removeValue( )\n2. forKey: \"grade2\""},
        .placeholder = "Add code",
        .words       = {{"(", ".", ":", R"(")", ")"}},
        .colors      = {{INSTR, "removeValue", blue}, {INSTR, "19", purple}, {INSTR, "23", purple}},
        .colorCount  = 23,
        .debugger    = true,
        .outputs     = {{"students", "Invalid key", "grade2 is gone, so the lookup falls back to the default."}},
        .video       = "lKv3azKgaS-",
    });

    add(chapter, {
        .id = "CH8L15", .number = 15, .title = "Grouping Dictionary",
        .instruction = R"(let firstLetterGroups groups the names by their first letter. Use print to show the group under "M".)",
        .code = R"(let names = ["Mia", "Leo", "Max", "Zoe"]
let firstLetterGroups = Dictionary(grouping: names) { $0.first! }
// names grouped by their first letter
«print(firstLetterGroups["M"]» ?? "Invalid key"))",
        .accepted    = {R"(print(firstLetterGroups[ "M" ])"},
        .hint        = {"Stuck?", "1. print(firstLetterGroups[ ]\n2. the key \"M\""},
        .placeholder = "Add code",
        .words       = {{"(", ".", ":", R"(")", ")"}},
        .colors      = {{INSTR, R"("M")", red}, {INSTR, "first letter", comment}, {L4, "??", pink}},
        .colorCount  = 24,
        .debugger    = true,
        .outputs     = {{"print", R"(["Mia", "Max"])", "Dictionary(grouping:) builds the groups for you."}},
        .video       = "m-x_SHuKBD_",
    });

    add(chapter, {
        .id = "CH8L16", .number = 16, .title = "Array from Dictionary",
        .instruction = R"~(let receipts = ["R1": "Groceria", "R2": "Bookly"]. Make var merchants, an array of String values from the values of receipts, so print shows "Merchants: \(merchants)".)~",
        .code = R"~(let receipts = ["R1": "Groceria", "R2": "Bookly"]
// values holds the merchant names
«var merchants = [String](receipts.values)»
print("Merchants: \(merchants)"))~",
        .accepted    = {"var merchants=[String](receipts.values)", "var merchants = [ String ](receipts.values)"},
        .hint        = {"Stuck?", "1. var merchants =\n2. [String](receipts.values)"},
        .placeholder = "Add code",
        .words       = {{"(", ".", ":", R"(")", ")"}},
        .colors      = {{INSTR, "values", blue}, {INSTR, R"(\(merchants))", project}},
        .colorCount  = 27,
        .debugger    = true,
        .outputs     = {{"var", R"(Merchants: ["Groceria", "Bookly"])", "An array can be made from any collection of values."}},
        .video       = "vok-nPTmZYl",
    });
}
// clang-format on
