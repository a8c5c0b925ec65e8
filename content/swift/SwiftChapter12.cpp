// Swift course, chapter 12: enumerations, their cases, instances, initializers, methods, raw and
// associated values, and four challenges.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter12(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH12L1", .number = 1, .title = "What are enumerations?",
        .instruction = "An enumeration, enum for short, defines a type with a fixed group of related values, its cases. Each case is written with the keyword case. In line 8, add the missing day of the week.",
        .code = R"(enum Day {
   case Monday
   case Tuesday
   case Wednesday
   case Thursday
   case Friday
   case Saturday
   «case Sunday»
})",
        .success     = "A week has seven days, and now Day has seven cases.",
        .hint        = {"Stuck?", "Break it down. \n 1. Type the keyword case \n 2. Add the day: case Sunday"},
        .placeholder = " Tap to answer ",
        .colors      = {{INSTR, "In line 8, add the missing day of the week.", comment}, {INSTR, "case", pink},
                        {L1, "enum", pink}, {L1, "Day", project}, {L2, "case", pink}, {L3, "case", pink}, {L4, "case", pink},
                        {L5, "case", pink}, {L6, "case", pink}, {L7, "case", pink}, {ERROR, "case Sunday", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "gBi6UHs_dj0",
    });

    addLesson(chapter, {
        .id = "CH12L2", .number = 2, .title = "Naming Conventions",
        .instruction = "Enum names start with a capital letter, like every type in Swift, and cases start with a lower case letter. In line 1, declare an enum called Zovaze and open its braces.",
        .code = R"(«enum Zovaze {»
   case cotton
   case wool
   case nylon
   case silk
   case other
})",
        .success     = "Type names are UpperCamelCase, case names lowerCamelCase.",
        .hint        = {"Stuck?", "Break it down. \n 1. Type the keyword enum \n 2. Add the name Zovaze and an opening brace: enum Zovaze {"},
        .placeholder = "Tap to Answer",
        .words       = {{"{", "}"}},
        .colors      = {{INSTR, "In line 1, declare an enum called Zovaze and open its braces.", comment},
                        {INSTR, "enum", pink}, {L2, "case", pink}, {L2, "cotton", project}, {L3, "case", pink},
                        {L3, "wool", project}, {L4, "case", pink}, {L4, "nylon", project}, {L5, "case", pink},
                        {L5, "silk", project}, {L6, "case", pink}, {L6, "other", project}, {ERROR, "enum Zovaze {", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "GnsJUGDAJc-",
    });

    addLesson(chapter, {
        .id = "CH12L3", .number = 3, .title = "Declaring cases",
        .instruction = "Several cases can share one line: write case once and separate the names with commas. In line 2, add the cases white, silver and gold in one line.",
        .code = R"(enum Color {
   «case white, silver, gold»
})",
        .accepted    = {"case white,silver,gold", "case white, gold, silver", "case silver, gold, white", "case silver, white, gold", "case gold, white, silver", "case gold, silver, white", "case white,gold,silver", "case silver,gold,white", "case silver,white,gold", "case gold,white,silver", "case gold,silver,white"},
        .success     = "Short and clear. Next, let's make values of an enum.",
        .hint        = {"Stuck?", "Break it down. \n 1. One case keyword and commas between the names: case white, silver, gold"},
        .placeholder = "Tap to Answer",
        .words       = {{",", ":"}},
        .colors      = {{INSTR, "In line 2, add the cases white, silver and gold in one line.", comment},
                        {L1, "enum", pink}, {L2, "case", pink}, {L3, "case", pink}, {L4, "case", pink}, {L5, "case", pink},
                        {L6, "case", pink}, {L7, "case", pink}, {SUCCESS, "!", comment}, {SUCCESS, "stateName", project},
                        {ERROR, "case white, silver, gold", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "zE5MdxAxSGD",
    });

    addLesson(chapter, {
        .id = "CH12L4", .number = 4, .title = "Create instance of enum 1/2",
        .instruction = "An enum is a type, so variables can be declared with it, like with Int or String. In line 6, declare a variable checkZone of type AlarmZone.",
        .code = R"(enum AlarmZone {
   case garage
   case kitchen
   case basement
}
«var checkZone: AlarmZone»)",
        .accepted    = {"var checkZone:AlarmZone"},
        .success     = "checkZone can only ever hold one of the three zones.",
        .hint        = {"Stuck?", "Break it down. \n 1. Type var and the name: var checkZone \n 2. Add the type after a colon: var checkZone: AlarmZone"},
        .placeholder = "Tap to Answer",
        .words       = {{",", ":"}},
        .colors      = {{INSTR, "In line 6, declare a variable checkZone of type AlarmZone.", comment},
                        {INSTR, "Int", blue}, {INSTR, "String", blue}, {L1, "enum", pink},
                        {L1, "AlarmZone", project}, {L2, "case", pink}, {L2, "garage", project}, {L3, "case", pink},
                        {L3, "kitchen", project}, {L4, "case", pink}, {L4, "basement", project},
                        {ERROR, "var checkZone: AlarmZone", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "2rHhCYcJ5aK",
    });

    addLesson(chapter, {
        .id = "CH12L5", .number = 5, .title = "Create instance of enum 2/2",
        .instruction = "Create a value of an enum by naming the enum, a dot and the case: Reservation.car. In line 6, create a variable reservation that holds one of the cases.",
        .code = R"(enum Reservation {
   case flight
   case hotel
   case car
}
«var reservation = Reservation.car»)",
        .accepted    = {"var reservation = Reservation.flight", "var reservation = Reservation.hotel"},
        .success     = "Swift infers the type of reservation: it is a Reservation.",
        .hint        = {"Stuck?", "Break it down. \n 1. Type var reservation = \n 2. Add the enum, a dot and a case: Reservation.car \n 3. Together: var reservation = Reservation.car"},
        .placeholder = "Tap to Answer",
        .words       = {{"=", ":"}},
        .colors      = {{INSTR, "In line 6, create a variable reservation that holds one of the cases.", comment},
                        {INSTR, "Reservation.car", project},
                        {SUCCESS, "reservation", project}, {SUCCESS, "Reservation", project},
                        {ERROR, "Reservation.car", comment}, {L1, "enum", pink},
                        {L1, "Reservation", project}, {L2, "case", pink}, {L2, "flight", project}, {L3, "case", pink},
                        {L3, "hotel", project}, {L4, "case", pink}, {L4, "car", project},
                        {ERROR, "var reservation = Reservation.car", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "eMzcgBcACHx",
    });

    addLesson(chapter, {
        .id = "CH12L6", .number = 6, .title = "Default initializer",
        .instruction = "An enum can have an initializer that picks a case when a value is created with (). Inside it, assign a case to self. In line 4, make the default value one of the three cases.",
        .code = R"(enum RelationshipStatus {
   case single, married, other
   init() {
       self = «.single»
   }
}
let myStatus = RelationshipStatus()
print(myStatus))",
        .accepted    = {".married", ".other", "RelationshipStatus.other", "RelationshipStatus.single", "RelationshipStatus.married"},
        .success     = "init() sets the case every new RelationshipStatus starts with.",
        .hint        = {"Stuck?", "Break it down. \n 1. The type of self is already known, so a dot and the case will do: .single"},
        .placeholder = "Tap to Answer",
        .words       = {{".", ":"}},
        .colors      = {{INSTR, "In line 4, make the default value one of the three cases.", comment}, {INSTR, "self", pink},
                        {SUCCESS, "init()", pink}, {SUCCESS, "RelationshipStatus", project}, {L2, "married", project},
                        {L1, "enum", pink},
                        {L1, "RelationshipStatus", project}, {L2, "case", pink}, {L2, "single", project}, {L3, "init", pink},
                        {L4, "self", pink}, {L7, "let", pink}, {L7, "myStatus", project}, {L7, "RelationshipStatus", project},
                        {L8, "print", blue}, {L8, "myStatus", project}, {ERROR, ".single", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{".single", "single", "Printing an enum value prints the name of its case."},
                        {".married", "married", "Printing an enum value prints the name of its case."},
                        {".other", "other", "Printing an enum value prints the name of its case."},
                        {"RelationshipStatus.other", "other", "Printing an enum value prints the name of its case."},
                        {"RelationshipStatus.single", "single", "Printing an enum value prints the name of its case."},
                        {"RelationshipStatus.married", "married", "Printing an enum value prints the name of its case."}},
        .video       = "_4JboZ4lpxJ",
    });

    addLesson(chapter, {
        .id = "CH12L7", .number = 7, .title = "Reassiging enum",
        .instruction = "Once a variable has an enum type, you can give it another case with the short dot syntax, since Swift already knows the type. Directions uses its init to start at . driving. In line 8, change myDirections to walking, cycling or transit.",
        .code = R"(enum Directions {
   case driving, walking, transit, cycling
   init() {
       self = .driving
   }
}
var myDirections = Directions()
«myDirections = .walking»
print(myDirections))",
        .accepted    = {"myDirections = .cycling", "myDirections = .transit", "myDirections=.walking", "myDirections=.cycling", "myDirections=.transit", "myDirections=Directions.walking", "myDirections=Directions.cycling", "myDirections=Directions.transit", "myDirections = Directions.walking", "myDirections = Directions.cycling", "myDirections = Directions.transit"},
        .hint        = {"Stuck?", "Break it down. \n 1. Start with the variable: myDirections \n 2. Assign a case with the dot syntax: = .walking \n 3. Or: myDirections = .cycling, myDirections = .transit"},
        .wrong       = {{"Assign a new value", "The default case is already .driving. Assign walking, cycling or transit instead.", "myDirections = .D", true}},
        .placeholder = "Tap to Answer",
        .words       = {{"=", "."}},
        .colors      = {{INSTR, "In line 8, change myDirections to walking, cycling or transit.", comment},
                        {INSTR, " init ", pink}, {INSTR, " . ", comment}, {L1, "enum", pink}, {L2, "case", pink},
                        {L3, "init", pink}, {L4, "self", pink}, {L4, ".driving", project}, {L6, "case", pink},
                        {L7, "var", pink}, {L7, " Directions", project}, {L9, "print", blue}, {L9, "myDirections", project},
                        {SUCCESS, "myDirections", project}, {SUCCESS, "Directions.walking", project},
                        {SUCCESS, "Directions.transit", project}, {SUCCESS, "Directions.walking.cycling", project},
                        {SUCCESS, " Directions ", project}, {ERROR, ".driving", comment}, {ERROR, "myDirections", comment},
                        {ERROR, "= .walking", comment}, {ERROR, "= .cycling", comment}, {ERROR, "= .transit", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"= .walking", "walking", "The value of myDirections is Directions.walking and the variable is of type Directions "},
                        {"=.walking", "walking", "The value of myDirections is Directions.walking and the variable is of type Directions "},
                        {"=Directions.walking", "walking", "The value of myDirections is Directions.walking and the variable is of type Directions "},
                        {"= Directions.walking", "walking", "The value of myDirections is Directions.walking and the variable is of type Directions "},
                        {"= .cycling", "cycling", "The value of myDirections is Directions.cycling and the variable is of type Directions "},
                        {"=.cycling", "cycling", "The value of myDirections is Directions.cycling and the variable is of type Directions "},
                        {"=Directions.cycling", "cycling", "The value of myDirections is Directions.cycling and the variable is of type Directions "},
                        {"= Directions.cycling", "cycling", "The value of myDirections is Directions.cycling and the variable is of type Directions "},
                        {"= .transit", "transit", "The value of myDirections is Directions.transit and the variable is of type Directions "},
                        {"=.transit", "transit", "The value of myDirections is Directions.transit and the variable is of type Directions "},
                        {"=Directions.transit", "transit", "The value of myDirections is Directions.transit and the variable is of type Directions "},
                        {"= Directions.transit", "transit", "The value of myDirections is Directions.transit and the variable is of type Directions "}},
        .video       = "jsXZh5z6GFr",
    });

    addLesson(chapter, {
        .id = "CH12L8", .number = 8, .title = "Switching Enums",
        .instruction = "A switch over an enum value checks its case; when every case is handled, no default is needed. In line 4, create a constant status that holds one of the flight's cases.",
        .code = R"(enum FlightStatus {
   case ontime, delayed, cancelled
}
«let status = FlightStatus.ontime»
switch status {
case .ontime: print("Flight is ontime")
case .delayed: print("Flight is delayed")
case .cancelled: print("Flight cancelled")
})",
        .accepted    = {"let status = FlightStatus.delayed", "let status = FlightStatus.cancelled", "let status=FlightStatus.ontime", "let status=FlightStatus.delayed", "let status=FlightStatus.cancelled"},
        .hint        = {"Stuck?", "Break it down. \n 1. Create a constant: let status = \n 2. Give it a case: FlightStatus.ontime \n 3. Together: let status = FlightStatus.ontime"},
        .wrong       = {{"Create a constant", "This value never changes, so use let to create a constant instead of var.", "v", true}},
        .placeholder = "Tap to Answer",
        .words       = {{"=", "."}},
        .colors      = {{INSTR, "In line 4, create a constant status that holds one of the flight's cases.", comment},
                        {INSTR, "switch", pink}, {INSTR, "default", pink},
                        {INSTR, "status", project}, {INSTR, "case", pink}, {L1, "enum", pink}, {L1, "FlightStatus", project},
                        {L2, "case", pink}, {L2, "ontime", project}, {L2, "delayed", project}, {L2, "cancelled", project},
                        {INSTR, "enum", pink}, {SUCCESS, "switch", pink}, {SUCCESS, "case", pink}, {L5, "switch", pink},
                        {L5, "status", project}, {SUCCESS, "status", project}, {SUCCESS, "print", blue},
                        {L6, "case", pink}, {L6, "ontime", project}, {L6, "print", blue}, {L6, R"("Flight is ontime")", red},
                        {L7, "case", pink}, {L7, "delayed", project}, {L7, "print", blue}, {L7, R"("Flight is delayed")", red},
                        {L8, "case", pink}, {L8, "cancelled", project},
                        {L8, "print", blue}, {L8, R"("Flight cancelled")", red}, {ERROR, "FlightStatus.ontime", comment},
                        {ERROR, "let status =", comment}, {ERROR, "let status = FlightStatus.ontime", comment},
                        {ERROR, "let", pink}, {ERROR, "var", pink}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"let status = FlightStatus.ontime", "Flight is ontime", "The switch found the case of status and ran its print."},
                        {"let status = FlightStatus.delayed", "Flight is delayed", "The switch found the case of status and ran its print."},
                        {"let status = FlightStatus.cancelled", "Flight cancelled", "The switch found the case of status and ran its print."},
                        {"let status=FlightStatus.ontime", "Flight is ontime", "The switch found the case of status and ran its print."},
                        {"let status=FlightStatus.delayed", "Flight is delayed", "The switch found the case of status and ran its print."},
                        {"let status=FlightStatus.cancelled", "Flight cancelled", "The switch found the case of status and ran its print."}},
        .video       = "ycHs03K2MxN",
    });

    addLesson(chapter, {
        .id = "CH12L9", .number = 9, .title = "Extend enum with function",
        .instruction = "Enums can have methods. Inside a method, self is the case the value holds. In line 10, call note() on studentGrade.",
        .code = R"(enum Grade {
   case A, B, C
   func note() {
       switch self {
       case .A: print("Great work!")
       case .B: print("Good job")
       case .C: print("Keep practising")
}  }   }
let studentGrade = Grade.A
«studentGrade.note()»)",
        .hint        = {"Stuck?", "Break it down. \n 1. Start with the value: studentGrade \n 2. Call its method with a dot: studentGrade.note()"},
        .wrong       = {{"Create a constant", "This value never changes, so use let to create a constant instead of var.", "v", true}},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "In line 10, call note() on studentGrade.", comment}, {INSTR, "self", pink},
                        {INSTR, "note()", project}, {INSTR, "case", pink}, {SUCCESS, "studentGrade", project},
                        {SUCCESS, ".A", project}, {SUCCESS, "note()", project}, {SUCCESS, "switch", pink}, {L1, "enum", pink},
                        {L1, "Grade", project}, {SUCCESS, "case", pink}, {L2, "case", pink}, {L2, "A", project}, {L2, "B", project},
                        {L2, "C", project}, {L9, " Grade", project}, {ERROR, "studentGrade", comment}, {ERROR, "let", pink},
                        {L3, "func", pink}, {L3, "note", project}, {ERROR, "var", pink}, {L4, "switch", pink},
                        {L4, "self", pink}, {L5, "case", pink}, {L5, "A", project}, {L5, "print", blue},
                        {L5, R"("Great work!")", red}, {L6, "case", pink}, {L6, "B", project}, {L6, "print", blue},
                        {L6, R"("Good job")", red}, {L7, "case", pink}, {L7, "C", project}, {L7, "print", blue},
                        {L7, R"("Keep practising")", red}, {L9, "let", pink}, {L9, "studentGrade", project},
                        {L9, "A", project}, {ERROR, "studentGrade.note()", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"studentGrade.note()", "Great work!", "studentGrade holds .A, so the switch inside note() ran the case .A and printed its line."}},
        .video       = "XuINaMG03-1",
    });

    addLesson(chapter, {
        .id = "CH12L10", .number = 10, .title = "Raw Values 1/3",
        .instruction = "Cases can carry a raw value of a fixed type. The type follows the enum name: enum EvenNumber: Int. In line 4, add the case six with the raw value 6.",
        .code = R"(enum EvenNumber: Int {
   case two = 2
   case four = 4
   «case six = 6»
}
let myNumber = EvenNumber.two
print(myNumber.rawValue))",
        .accepted    = {"case six=6", ", six=6", ",six=6"},
        .hint        = {"Stuck?", "Break it down. \n 1. Type case and the name: case six \n 2. Assign the raw value: case six = 6"},
        .wrong       = {{"Create a constant", "This value never changes, so use let to create a constant instead of var.", "v", true}},
        .placeholder = "Tap to Answer",
        .words       = {{".", "="}},
        .colors      = {{INSTR, "In line 4, add the case six with the raw value 6.", comment}, {INSTR, "Int", blue},
                        {L1, "enum", pink}, {L1, "EvenNumber", project}, {L1, "Int", blue}, {L2, "case", pink},
                        {L2, "two", project}, {L2, "2", purple}, {L3, "case", pink}, {L3, "four", project}, {L3, "4", purple},
                        {L6, "let", pink}, {L6, "myNumber", project}, {L6, "EvenNumber", project}, {L6, "two", project},
                        {L7, "print", blue}, {L7, "myNumber", project}, {ERROR, "case six = 6", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"case six = 6", "2", "rawValue gives the value stored with the case: two is 2."},
                        {"case six=6", "2", "rawValue gives the value stored with the case: two is 2."},
                        {", six = 6", "2", "rawValue gives the value stored with the case: two is 2."},
                        {",six=6", "2", "rawValue gives the value stored with the case: two is 2."},
                        {", six=6", "2", "rawValue gives the value stored with the case: two is 2."}},
        .video       = "FUec5e4Vcaq",
    });

    addLesson(chapter, {
        .id = "CH12L11", .number = 11, .title = "Raw Values 2/3",
        .instruction = "Raw values can be strings too. Read a case's raw value with .rawValue, just like with Numbers of type Int. In line 7, set fullTitle to the raw value of myTitle.",
        .code = R"(enum Title: String {
   case ceo = "Chief Executive Officer"
   case coo = "Chief Operating Officer"
   case cro = "Chief Revenue Officer"
}
let myTitle = Title.cro
let fullTitle = «myTitle.rawValue»
print(fullTitle))",
        .hint        = {"Stuck?", "Break it down. \n 1. Add .rawValue to myTitle: myTitle.rawValue"},
        .wrong       = {{"Create a constant", "This value never changes, so use let to create a constant instead of var.", "v", true}},
        .placeholder = "Tap to Answer",
        .words       = {{".", "="}},
        .colors      = {{INSTR, "In line 7, set fullTitle to the raw value of myTitle.", comment}, {INSTR, "Numbers", project},
                        {INSTR, "Int", blue}, {L1, "enum", pink}, {L1, "String", blue}, {L2, "case", pink},
                        {L2, R"("Chief Executive Officer")", red}, {L3, "case", pink},
                        {L3, R"("Chief Operating Officer")", red}, {L4, "case", pink}, {L4, R"("Chief Revenue Officer")", red},
                        {L6, "let", pink}, {L6, " Title", project}, {L6, "cro", project}, {L7, "let", pink},
                        {L8, "print", blue}, {L8, "fullTitle", project}, {ERROR, "myTitle.rawValue", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"myTitle.rawValue", "Chief Revenue Officer", "Nice! Raw values turn cases into readable text."}},
        .video       = "ZZ3osB7z_05",
    });

    addLesson(chapter, {
        .id = "CH12L12", .number = 12, .title = "Raw Values 3/3",
        .instruction = "With Int raw values you only need to set the first one: every following case counts up by one, so mar is 3. In line 5, return the number of months from this month until the new year.",
        .code = R"(enum Month: Int {
   case jan = 1, feb, mar, apr, may, jun
   case jul, aug, sep, oct, nov, dec
   func monthsTillNewYear() -> Int {
       return«12 - self.rawValue»
   }  }
let month = Month.mar
print(month.monthsTillNewYear()))",
        .accepted    = {"12-self.rawValue"},
        .hint        = {"Stuck?", "Break it down. \n 1. Inside the enum, self is the month \n 2. Subtract its raw value from 12: 12 - self.rawValue"},
        .wrong       = {{"Create a constant", "This value never changes, so use let to create a constant instead of var.", "v", true}},
        .placeholder = "Tap to Answer",
        .words       = {{"-", "."}},
        .colors      = {{INSTR, "In line 5, return the number of months from this month until the new year.", comment},
                        {INSTR, "Int", blue}, {INSTR, "mar", project},
                        {L1, "enum", pink}, {L1, "Month", project}, {L1, "Int", blue}, {INSTR, "3", purple},
                        {L2, "case", pink}, {L2, "jan", project}, {L2, "1", purple}, {L2, "mar", project},
                        {SUCCESS, "mar", project}, {L3, "case", pink}, {L3, "jul", project},
                        {SUCCESS, "3", purple}, {L4, "func", pink}, {L4, "monthsTillNewYear", project},
                        {L4, "Int", blue}, {L5, "return", pink}, {L7, "let", pink}, {L7, "month", project},
                        {L7, "Month", project}, {L7, "mar", project}, {L8, "print", blue}, {L8, "month", project},
                        {L8, "monthsTillNewYear", project}, {ERROR, "12 - self.rawValue", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"12 - self.rawValue", "9", "mar has the raw value 3, and 12 - 3 is 9."},
                        {"12-self.rawValue", "9", "mar has the raw value 3, and 12 - 3 is 9."}},
        .video       = "2_BwQKpB6-m",
    });

    addLesson(chapter, {
        .id = "CH12L13", .number = 13, .title = "Associated Values",
        .instruction = "Cases can carry values of their own, called associated values, which can differ from value to value. In line 5, create a constant passcode holding the pinCode 4821.",
        .code = R"(enum SecureId {
   case password(String)
   case pinCode(Int)
}
«let passcode = SecureId.pinCode(4821)»
switch passcode {
case .password(let text): print(text)
case .pinCode(let pin): print(pin)
})",
        .accepted    = {"let passcode=SecureId.pinCode(4821)", "let passcode: SecureId = SecureId.pinCode(4821)", "let passcode:SecureId=SecureId.pinCode(4821)"},
        .hint        = {"Stuck?", "Break it down. \n 1. Create a constant: let passcode = \n 2. Give it the case with its value: SecureId.pinCode(4821) \n 3. Together: let passcode = SecureId.pinCode(4821)"},
        .wrong       = {{"Create a constant", "This value never changes, so use let to create a constant instead of var.", "v", true}},
        .placeholder = "Tap to Answer",
        .words       = {{"(", "=", ".", ")"}},
        .colors      = {{INSTR, "In line 5, create a constant passcode holding the pinCode 4821.", comment},
                        {INSTR, "4821", purple}, {SUCCESS, "pin", project},
                        {L1, "enum", pink}, {L1, "SecureId", project}, {L2, "case", pink}, {L2, "password", project},
                        {L2, "String", blue}, {L3, "case", pink}, {L3, "pinCode", project}, {L3, "Int", blue},
                        {L6, "switch", pink}, {L7, "case", pink}, {L7, "password", project}, {L7, "let", pink},
                        {L7, "text", project}, {L7, "print", blue}, {L8, "case", pink}, {L8, "pinCode", project},
                        {L8, "let", pink}, {L8, "print", blue}, {ERROR, "let passcode = SecureId.pinCode(4821)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"let passcode = SecureId.pinCode(4821)", "4821", "The switch bound the associated value to pin and printed it."},
                        {"let passcode=SecureId.pinCode(4821)", "4821", "The switch bound the associated value to pin and printed it."},
                        {"let passcode: SecureId = SecureId.pinCode(4821)", "4821", "The switch bound the associated value to pin and printed it."},
                        {"let passcode:SecureId=SecureId.pinCode(4821)", "4821", "The switch bound the associated value to pin and printed it."}},
        .video       = "xR_ew2w2wY8",
    });

    addLesson(chapter, {
        .id = "CH12L14", .number = 14, .title = "Challenge 1",
        .instruction = "Challenge time! In line 2, add the cases male and female in one line.",
        .code = R"(enum Gender {
   «case male, female»
})",
        .accepted    = {"case male,female", "case female,male", "case female, male"},
        .success     = "Well done! Next, an enum with raw values.",
        .hint        = {"Stuck?", "Check your syntax. \n 1. One case keyword, the names separated by a comma: case male, female"},
        .wrong       = {{"Create a constant", "This value never changes, so use let to create a constant instead of var.", "v", true}},
        .placeholder = "Tap to Answer",
        .words       = {{".", ","}},
        .colors      = {{INSTR, "In line 2, add the cases male and female in one line.", comment},
                        {ERROR, "let", pink},
                        {L1, "enum", pink}, {L1, "Gender", project}, {ERROR, "case male, female", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "B4DcT0umKTo",
    });

    addLesson(chapter, {
        .id = "CH12L15", .number = 15, .title = "Challenge 2",
        .instruction = "Give the days raw values of type Int, starting with Monday as 1. In line 2, add the case Monday with the raw value 1.",
        .code = R"(enum Day: Int {
   «case Monday = 1»
   case Tuesday
   case Wednesday
   case Thursday
   case Friday
   case Saturday
   case Sunday
})",
        .accepted    = {"case Monday=1"},
        .success     = "Tuesday is now 2, Wednesday 3 and so on.",
        .hint        = {"Stuck?", "Break it down. \n 1. Type case Monday \n 2. Assign the raw value: case Monday = 1"},
        .placeholder = " Tap to answer ",
        .words       = {{":", "="}},
        .colors      = {{INSTR, "In line 2, add the case Monday with the raw value 1.", comment}, {L1, "enum", pink},
                        {L1, "Day", project}, {L1, "Int", blue}, {L3, "case", pink}, {L4, "case", pink}, {L5, "case", pink},
                        {L6, "case", pink}, {L7, "case", pink}, {L8, "case", pink}, {ERROR, "case Monday = 1", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "UR72COiHxEo",
    });

    addLesson(chapter, {
        .id = "CH12L16", .number = 16, .title = "Challenge 3",
        .instruction = "A Number is either an Int or a String, kept as an associated value. In line 3, add the case asString that carries a String.",
        .code = R"(enum Number {
   case asInt( Int )
   «case asString(String)»
})",
        .accepted    = {", asString(String)", ",asString(String)", ", asString( String )", "case asString( String )"},
        .success     = "One more to go!",
        .hint        = {"Stuck?", "Break it down. \n 1. Type case asString \n 2. Add the type of its value in parentheses: case asString(String)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 3, add the case asString that carries a String.", comment},
                        {INSTR, "Int", blue}, {INSTR, "String", blue}, {INSTR, "Number", project}, {L1, "enum", pink},
                        {L1, "Number", project}, {L2, "case", pink}, {L2, "asInt", project}, {L2, "Int", blue}, {L8, "case", pink},
                        {ERROR, "case asString(String)", comment}, {ERROR, "asString", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "hHYAeXB5G14",
    });

    addLesson(chapter, {
        .id = "CH12L17", .number = 17, .title = "Challenge 4",
        .instruction = "Now use your enum. In line 5, create a constant myNumber holding the Int 9.",
        .code = R"(enum Number {
   case asInt( Int )
   case asString( String )
}
«let myNumber = Number.asInt(9)»)",
        .accepted    = {"let myNumber=Number.asInt(9)", "let myNumber: Number = Number.asInt(9)", "let myNumber:Number=Number.asInt(9)"},
        .success     = "You finished the enums chapter!",
        .hint        = {"Stuck?", "Break it down. \n 1. Create a constant: let myNumber = \n 2. Give it the case with its value: Number.asInt(9) \n 3. Together: let myNumber = Number.asInt(9)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ".", "=", ")"}},
        .colors      = {{INSTR, "In line 5, create a constant myNumber holding the Int 9.", comment},
                        {INSTR, "Int", blue}, {INSTR, "9", purple}, {L1, "enum", pink},
                        {L1, "Number", project}, {L2, "case", pink}, {L2, "asInt", project}, {L2, " Int ", blue},
                        {L3, "case", pink}, {L3, "asString", project}, {L3, " String ", blue},
                        {ERROR, "let myNumber = Number.asInt(9)", comment}, {ERROR, "let myNumber =", comment},
                        {ERROR, "Number.asInt(9)", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "MQqck0LU1LG",
    });
}
// clang-format on
