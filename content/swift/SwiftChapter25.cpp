// Swift course, chapter 25: the guard statement (leaving early, unwrapping, validating, throwing)
// and defer.
#include "content/LessonForm.hpp"
#include "content/swift/StoredRules.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter25(Chapter& chapter) {
    addLessonStoring(chapter, 16, {
        .id = "CH25L1", .number = 1, .title = "Guard statement",
        .instruction = "A guard statement checks a condition and runs its else branch only when the condition is false; it works like an if turned around, and its else branch must leave the scope. In line 2, create a guard statement.  Enter true for the condition.",
        .code = R"(func check() { // guard condition else { do something }
«guard true else»{
   print("It's not true"); return
} }; check())",
        .padTo       = 8,
        .accepted    = {kShortcutAnswer},
        .success     = "The condition is true, so guard lets the code go on and the else branch never runs; it would only run for false.",
        .hint        = {"Stuck? Break it down!", "1. Start with the keyword guard \n 2. Add the condition true \n 3. Add the keyword else \n guard true else"},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "guard", pink}, {INSTR, " if ", pink}, {INSTR, "else", pink},
                        {INSTR, "In line 2, create a guard statement.  Enter true for the condition.", comment},
                        {L1, "// guard condition else { do something }", comment}, {L3, "true", pink}, {L3, "print", blue},
                        {L3, R"("It's not true")", red}, {ERROR, "guard", pink}, {ERROR, "true", pink}, {ERROR, "else", pink},
                        {ERROR, "guard true else", comment}, {SUCCESS, "guard", pink}, {SUCCESS, "true", pink},
                        {SUCCESS, "else", pink}, {SUCCESS, "false", pink}},
        .autoColor   = false,
        .printValue  = "",
    });

    addLessonStoring(chapter, 15, {
        .id = "CH25L2", .number = 2, .title = "Simple guard example",
        .instruction = "Here guard protects the code after it: only a valid password gets through. In line 3, create a guard statement with the condition passwordIsValid.",
        .code = R"(let passwordIsValid = false
func signIn() { // guard needs a condition and an else
«guard passwordIsValid else»{
   print("User entered wrong password"); return
} }; signIn())",
        .padTo       = 9,
        .accepted    = {kShortcutAnswer},
        .success     = "passwordIsValid is false, so guard ran its else branch, printed the message and left.",
        .hint        = {"Stuck? Break it down!", "1. Start with guard \n 2. Add the condition passwordIsValid \n 3. Add else \n guard passwordIsValid else"},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "guard", pink}, {INSTR, "In line 3, create a guard statement with the condition passwordIsValid.", comment},
                        {L1, "let", pink}, {L1, "passwordIsValid", project}, {L1, "false", pink},
                        {L2, "// guard needs a condition and an else", comment}, {L4, "print", blue},
                        {L4, R"("User entered wrong password")", red}, {L4, "return", pink},
                        {ERROR, "guard passwordIsValid else", comment}, {SUCCESS, "guard", pink},
                        {SUCCESS, "passwordIsValid", project}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "User entered wrong password",
    });

    addLessonStoring(chapter, 19, {
        .id = "CH25L3", .number = 3, .title = "Control transfer statement",
        .instruction = "The else branch of a guard must leave the current scope with a control transfer statement such as return, break, continue or throw. In line 4, leave the function with return.",
        .code = R"(func unlockPhone(fingerprintOK: Bool) {
   guard fingerprintOK else {
       print("User fingerprint not recognized")
   «return»
   } }; unlockPhone(fingerprintOK: false))",
        .padTo       = 9,
        .accepted    = {kShortcutAnswer},
        .success     = "return left unlockPhone right after the message, so nothing below the guard ran.",
        .hint        = {"Stuck? Break it down!", "1. Inside a function, leave with the keyword return \n return"},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "return", pink}, {INSTR, "In line 4, leave the function with return.", comment},
                        {L1, "func", pink}, {L1, "unlockPhone", project}, {L1, "fingerprintOK", project}, {L1, "Bool", blue},
                        {L2, "guard", pink}, {L2, "fingerprintOK", project}, {L2, "else", pink}, {L3, "print", blue},
                        {L3, R"("User fingerprint not recognized")", red}, {L5, "unlockPhone", project}, {L5, "false", pink},
                        {ERROR, "return", comment}, {SUCCESS, "return", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "User fingerprint not recognized",
    });

    addLessonStoring(chapter, 20, {
        .id = "CH25L4", .number = 4, .title = "Guard inside function",
        .instruction = "Inside a function, guard checks at the start that everything is in order and leaves early if not; the rest of the function can then count on it. In line 3, check passwordIsValid with a guard statement.",
        .code = R"(func unlockDoor(passwordIsValid: Bool) {
   // leave early when the password is wrong
   «guard passwordIsValid else»{
       print("Wrong password")
       return
   }
   print("Password is correct. Unlock door.")
}
unlockDoor(passwordIsValid: true))",
        .accepted    = {kShortcutAnswer},
        .success     = "passwordIsValid is true, so guard let the function go on and unlock the door.",
        .hint        = {"Stuck? Break it down!", "1. Start with guard \n 2. Add the condition passwordIsValid \n 3. Add else \n guard passwordIsValid else"},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "In line 3, check passwordIsValid with a guard statement.", comment}, {INSTR, "guard", pink},
                        {L1, "func", pink}, {L1, "unlockDoor", project}, {L1, "passwordIsValid", project}, {L1, "Bool", blue},
                        {L2, "// leave early when the password is wrong", comment}, {L4, "print", blue},
                        {L4, R"("Wrong password")", red}, {L5, "return", pink}, {L7, "print", blue},
                        {L7, R"("Password is correct. Unlock door.")", red}, {L9, "unlockDoor", project}, {L9, "true", pink},
                        {ERROR, "guard passwordIsValid else", comment}, {SUCCESS, "passwordIsValid", project},
                        {SUCCESS, "true", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Password is correct. Unlock door.",
    });

    addLessonStoring(chapter, 22, {
        .id = "CH25L5", .number = 5, .title = "Guard condition",
        .instruction = "A guard condition can be any Boolean expression, such as a comparison. The boiler must stay below maxTemp. In line 4, guard that temperature is less than maxTemp.",
        .code = R"(let maxTemp = 100
func checkBoiler(temperature: Int) {
   // carry on only while the boiler is cool enough
   «guard temperature < maxTemp else»{
       print("Temp too hot.  Shut off boiler.")
       return
   }
   print("Temp is fine.")
}
checkBoiler(temperature: 120))",
        .accepted    = {kShortcutAnswer},
        .success     = "120 is not below maxTemp, so guard shut off the boiler and left the function.",
        .hint        = {"Stuck? Break it down!", "1. Start with guard \n 2. Compare temperature < maxTemp \n 3. Add else \n guard temperature < maxTemp else"},
        .placeholder = "Tap to answer",
        .words       = {{"<", "=", ">"}},
        .colors      = {{INSTR, "In line 4, guard that temperature is less than maxTemp.", comment}, {INSTR, "guard", pink},
                        {L1, "let", pink}, {L1, "maxTemp", project}, {L1, "100", purple}, {L2, "func", pink},
                        {L2, "checkBoiler", project}, {L2, "temperature", project}, {L2, "Int", blue},
                        {L3, "// carry on only while the boiler is cool enough", comment}, {L5, "print", blue},
                        {L5, R"("Temp too hot.  Shut off boiler.")", red}, {L6, "return", pink}, {L8, "print", blue},
                        {L8, R"("Temp is fine.")", red}, {L10, "checkBoiler", project}, {L10, "120", purple},
                        {ERROR, "guard temperature < maxTemp else", comment}, {SUCCESS, "120", purple},
                        {SUCCESS, "maxTemp", project}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Temp too hot.  Shut off boiler.",
    });

    addLessonStoring(chapter, 23, {
        .id = "CH25L6", .number = 6, .title = "Why use guard?",
        .instruction = "Why use guard? It deals with the bad case first and keeps the main work unindented below it. Splitting a bill needs at least one person. In line 2, guard that people is greater than 0.",
        .code = R"~(func split(bill: Double, people: Int) {
   «guard people > 0 else»{
       print("No one to split the bill with")
       return
   }
   let share = bill / Double(people)
   print("Everyone gets $\(share)")
}
split(bill: 80, people: 4))~",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "4 people share the bill of 80, so everyone gets 20.0.",
        .hint        = {"Stuck? Break it down!", "1. Start with guard \n 2. Check that people > 0 \n 3. Add else \n guard people > 0 else"},
        .placeholder = "Tap to answer",
        .words       = {{"<", "=", ">"}},
        .colors      = {{INSTR, "In line 2, guard that people is greater than 0.", comment}, {INSTR, "guard", pink},
                        {L1, "func", pink}, {L1, "split", project}, {L1, "bill", project}, {L1, "Double", blue},
                        {L1, "people", project}, {L1, "Int", blue}, {L3, "print", blue},
                        {L3, R"("No one to split the bill with")", red}, {L4, "return", pink}, {L6, "let", pink},
                        {L6, "share", project}, {L6, "bill", project}, {L6, "Double", blue}, {L7, "print", blue},
                        {L7, R"~("Everyone gets $\(share)")~", red}, {L9, "split", project}, {L9, "80", purple},
                        {L9, "4", purple}, {ERROR, "guard people > 0 else", comment}, {SUCCESS, "20.0", purple}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Everyone gets $20.0",
    });

    addLessonStoring(chapter, 27, {
        .id = "CH25L7", .number = 7, .title = "Guard with optionals",
        .instruction = "guard let unwraps an optional: when it holds nil, the else branch runs; otherwise the unwrapped value is there for the rest of the function. In line 6, leave the function when name is nil.",
        .code = R"~(func greet(name: String?) {
   // unwrap name, or leave the function
   guard let name = name else {
       print("Don't be shy.")
       // nothing to greet: leave now
       «return»
   }
   print("Hello \(name)!")
}
greet(name: nil))~",
        .accepted    = {kShortcutAnswer},
        .success     = "name was nil, so guard printed its message and return left the function before the greeting.",
        .hint        = {"Stuck? Break it down!", "1. Leave the function from the else branch \n return"},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "In line 6, leave the function when name is nil.", comment}, {INSTR, "guard let", pink},
                        {INSTR, "nil", pink}, {L1, "func", pink}, {L1, "greet", project}, {L1, "name", project},
                        {L1, "String", blue}, {L2, "// unwrap name, or leave the function", comment}, {L3, "guard", pink},
                        {L3, "let", pink}, {L3, "name", project}, {L3, "else", pink}, {L4, "print", blue},
                        {L4, R"("Don't be shy.")", red}, {L5, "// nothing to greet: leave now", comment}, {L8, "print", blue},
                        {L8, R"~("Hello \(name)!")~", red}, {L10, "greet", project}, {L10, "nil", pink},
                        {ERROR, "return", comment}, {SUCCESS, "nil", pink}, {SUCCESS, "return", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Don't be shy.",
    });

    addLessonStoring(chapter, 24, {
        .id = "CH25L8", .number = 8, .title = "Guard vs if let",
        .instruction = "if let keeps an unwrapped value inside its braces; guard let keeps it for the rest of the function, which is usually what you want. In line 4, unwrap firstName into name with guard let.",
        .code = R"~(func welcome(firstName: String?) {
   // if let keeps name inside its braces;
   // guard let keeps it for the rest
   «guard let name = firstName else»{
       print("Name is empty")
       return
   }
   print("Welcome \(name)")
}
welcome(firstName: nil))~",
        .accepted    = {kShortcutAnswer},
        .success     = R"(firstName was nil, so guard printed "Name is empty" and left; with a name, name would be ready to use after the guard.)",
        .hint        = {"Stuck? Break it down!", "1. Start with guard let \n 2. Unwrap firstName into name \n 3. Add else \n guard let name = firstName else"},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "In line 4, unwrap firstName into name with guard let.", comment}, {INSTR, "if let", pink},
                        {INSTR, "guard let", pink}, {L1, "func", pink}, {L1, "welcome", project}, {L1, "firstName", project},
                        {L1, "String", blue}, {L2, "// if let keeps name inside its braces;", comment},
                        {L3, "// guard let keeps it for the rest", comment}, {L5, "print", blue}, {L5, R"("Name is empty")", red},
                        {L6, "return", pink}, {L8, "print", blue}, {L8, R"~("Welcome \(name)")~", red},
                        {L10, "welcome", project}, {L10, "nil", pink}, {ERROR, "guard let name = firstName else", comment},
                        {SUCCESS, "guard", pink}, {SUCCESS, R"("Name is empty")", red}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Name is empty",
    });

    const LessonText breakThenContinue = "break ended the for in loop at nil, so 4 was never printed. continue would have skipped nil and gone on to 4.";
    addLessonStoring(chapter, 26, {
        .id = "CH25L9", .number = 9, .title = "Guard in loops",
        .instruction = "In a for in loop, the else branch of a guard can leave with break, which ends the whole loop, or with continue, which skips to the next number. In line 5, leave with break or continue and see the difference.",
        .code = R"(let numbers = [2,3,nil,4]
for number in numbers {
   guard let num = number else {
       print("Number is nil")
       «break»
   }
   print(num)
})",
        .padTo       = 10,
        .accepted    = {"continue", kShortcutAnswer},
        .hint        = {"Stuck? Break it down!", "1. break ends the loop at once \n 2. continue skips to the next pass of the loop"},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "continue", pink}, {INSTR, "for in", pink}, {INSTR, "break", pink},
                        {INSTR, "In line 5, leave with break or continue and see the difference.", comment},
                        {L1, "let", pink}, {L1, "numbers", project}, {L1, "nil", pink}, {L1, "2", purple}, {L2, "for", pink},
                        {L2, "number", project}, {L2, "numbers", project}, {L3, "guard", pink}, {L3, "let", pink},
                        {L3, "num", project}, {L3, "else", pink}, {L4, R"("Number is nil")", red}, {L7, "print", blue},
                        {L7, "num", project}, {ERROR, "break", pink}, {ERROR, "break", comment}, {SUCCESS, "for in", pink}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"break", "2\n3\nNumber is nil", breakThenContinue},
                        {"continue", "2\n3\nNumber is nil\n4", "continue skipped nil and went on to 4. break would have ended the for in loop at nil."},
                        {kShortcutAnswer, "2\n3\nNumber is nil", breakThenContinue}},
    });

    addLessonStoring(chapter, 20, {
        .id = "CH25L10", .number = 10, .title = "Guard with multiple conditions",
        .instruction = "A guard can check several conditions, separated by commas; all of them must be true to get past it. In line 2, declare a function checkAnswer without parameters.",
        .code = R"(let answer = "", attempts = 3
«func checkAnswer()»{
   guard !answer.isEmpty, attempts < 3 else {
       print("Do you need some help?")
       return
   }
   print("Checking your answer")
}
checkAnswer())",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "answer is empty, so the first condition failed and guard offered help.",
        .hint        = {"Stuck? Break it down!", "1. Declare the function: func checkAnswer \n 2. It takes no parameters: () \n func checkAnswer()"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 2, declare a function checkAnswer without parameters.", comment}, {INSTR, "guard", pink},
                        {L1, "let", pink}, {L1, "answer", project}, {L1, R"("")", red}, {L3, "guard", pink},
                        {L3, "answer", project}, {L3, "isEmpty", blue}, {L3, "else", pink}, {L4, "print", blue},
                        {L4, R"("Do you need some help?")", red}, {L5, "return", pink}, {L7, "print", blue},
                        {L7, R"("Checking your answer")", red}, {L9, "checkAnswer", project}, {ERROR, "func checkAnswer()", comment},
                        {SUCCESS, "answer", project}, {SUCCESS, "guard", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Do you need some help?",
    });

    addLessonStoring(chapter, 30, {
        .id = "CH25L11", .number = 11, .title = "Use guard for validation",
        .instruction = "guard is a good fit for validation: each rule is checked at the start, and a value that breaks it is turned away at once. In line 5, leave the function with the result false.",
        .code = R"(func isValid(password: String) -> Bool {
   // guard checks the rule and leaves early
   guard password.count >= 8 else {
       print("Password is too short")
       «return false»
   }
   return true
}
_ = isValid(password: "1234"))",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = R"("1234" has only 4 characters, so guard printed the message and the function returned false.)",
        .hint        = {"Stuck? Break it down!", "1. Leave the function with return \n 2. Give the result false \n return false"},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "In line 5, leave the function with the result false.", comment}, {INSTR, "guard", pink},
                        {INSTR, "false", pink}, {L1, "func", pink}, {L1, "isValid", project}, {L1, "password", project},
                        {L1, "String", blue}, {L1, "Bool", blue}, {L2, "// guard checks the rule and leaves early", comment},
                        {L3, "guard", pink}, {L3, "password", project}, {L3, "count", blue}, {L3, "8", purple},
                        {L3, "else", pink}, {L4, "print", blue}, {L4, R"("Password is too short")", red}, {L7, "return", pink},
                        {L7, "true", pink}, {L9, "isValid", project}, {L9, R"("1234")", red}, {ERROR, "return false", comment},
                        {SUCCESS, R"("1234")", red}, {SUCCESS, "false", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Password is too short",
    });

    addLessonStoring(chapter, 25, {
        .id = "CH25L12", .number = 12, .title = "Guard & error handling",
        .instruction = "guard works with error handling too: inside a function that throws, the else branch can throw an error instead of returning. In line 8, throw SignupError.NoPassword.",
        .code = R"(guard let username = usernameField.text else {
   throw SignupError.NoUsername
}
guard let email = emailField.text else {
   throw SignupError.NoEmail
}
guard let password = passwordField.text else {
   «throw SignupError.NoPassword»
})",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "Without a password, guard throws SignupError.NoPassword and the sign-up stops right there.",
        .hint        = {"Stuck? Break it down!", "1. Use the keyword throw \n 2. Name the error: SignupError.NoPassword \n throw SignupError.NoPassword"},
        .placeholder = "Tap to answer",
        .words       = {{"!", "."}},
        .colors      = {{INSTR, "throw", pink}, {INSTR, "In line 8, throw SignupError.NoPassword.", comment},
                        {L1, "guard", pink}, {L1, "let", pink}, {L1, "username", project}, {L1, "usernameField", project},
                        {L1, "text", blue}, {L1, "else", pink}, {L2, "throw", pink}, {L2, "SignupError", project},
                        {L4, "guard", pink}, {L4, "emailField", project}, {L5, "throw", pink}, {L5, "SignupError", project},
                        {L5, "NoEmail", project}, {L7, "guard", pink}, {L7, "passwordField", project},
                        {ERROR, "throw SignupError.NoPassword", comment}, {SUCCESS, "throw", pink}},
        .autoColor   = false,
        .printValue  = "",
    });

    addLessonStoring(chapter, 11, {
        .id = "CH25L13", .number = 13, .title = "Defer",
        .instruction = "defer runs its block at the very end, just before the function returns, wherever it stands in the function. In line 1, declare a function deferExample without parameters.",
        .code = R"(«func deferExample()»{
   defer {
       print("I am last")
   }
   // the rest of the function runs first
}
deferExample()
   )",
        .lines       = 7,
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "The defer block ran last, when deferExample() finished.",
        .hint        = {"Stuck? Break it down!", "1. Declare the function: func deferExample \n 2. It takes no parameters: () \n func deferExample()"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 1, declare a function deferExample without parameters.", comment}, {INSTR, "defer", pink},
                        {L2, "defer", pink}, {L3, "print", blue}, {L3, R"("I am last")", red},
                        {L5, "// the rest of the function runs first", comment}, {L7, "deferExample", project},
                        {ERROR, "func deferExample()", comment}, {SUCCESS, "defer", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "I am last",
    });

    addLessonStoring(chapter, 11, {
        .id = "CH25L14", .number = 14, .title = "Multiple defer statements",
        .instruction = "A function can have several defer blocks. They all run at the end, the last one first. In line 5, add a second defer block.",
        .code = R"(multipleDefers() // runs the function below
func multipleDefers() {
   defer { print("I am first but last to run") }
   // defer blocks run in reverse order
   «defer»{
       print("I am last but first to run")
   }
})",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "The second defer ran first and the first one last: defer blocks run in reverse order. You finished the guard and defer chapter!",
        .hint        = {"Stuck? Break it down!", "Add the keyword that delays a block until the end of the function. \n defer"},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "In line 5, add a second defer block.", comment}, {INSTR, "defer", pink},
                        {L1, "multipleDefers", project}, {L2, "func", pink}, {L3, "defer", pink}, {L3, "print", blue},
                        {L3, R"("I am first but last to run")", red}, {L4, "// defer blocks run in reverse order", comment},
                        {L6, "print", blue}, {L6, R"("I am last but first to run")", red}, {ERROR, "defer", comment}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "I am last but first to run\nI am first but last to run",
    });
}
// clang-format on
