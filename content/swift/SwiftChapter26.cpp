// Swift course, chapter 26: throwing functions, the Error protocol, do-try-catch, initializers that
// throw, guard with throw and several catch blocks.
#include "content/LessonForm.hpp"
#include "content/swift/StoredRules.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

namespace {

const Wrong kNeverGiveUp = {"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true};

} // namespace

// clang-format off
void buildSwiftChapter26(Chapter& chapter) {
    addLessonStoring(chapter, 60, {
        .id = "CH26L1", .number = 1, .title = "Throw statement",
        .instruction = "Things go wrong: a file is missing, a name is empty. A function that can report such an error is marked with the keyword throws after its parameters; cannotThrowErrors() has no such mark and cannot take part in error handling. In line 4, add the keyword that lets canThrowErrors() throw errors.",
        .code = R"(func cannotThrowErrors() {
   print("I can't deal with errors.")
}
func canThrowErrors()«throws»{
   print("Error handling is easy.")
})",
        .padTo       = 8,
        .accepted    = {kShortcutAnswer},
        .success     = "With throws, canThrowErrors() can throw errors and take part in error handling.",
        .hint        = {"Stuck? Break it down!", "1. Add the keyword that lets a function throw errors \n throws"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "throws", pink}, {INSTR, "In line 4, add the keyword that lets canThrowErrors() throw errors.", comment},
                        {INSTR, "cannotThrowErrors()", project}, {SUCCESS, "throws", pink}, {SUCCESS, "canThrowErrors()", project},
                        {ERROR, "throws", comment}},
    });

    addLessonStoring(chapter, 64, {
        .id = "CH26L2", .number = 2, .title = "Error protocol",
        .instruction = "The errors a function throws are values of a type that adopts the Error protocol. An enum suits them well: each case names one thing that can go wrong. In line 1, make SignUpError adopt the Error protocol.",
        .code = R"(enum SignUpError:«Error»{
   case noName
   case noEmail
   case insecurePassword
})",
        .padTo       = 8,
        .accepted    = {kShortcutAnswer},
        .success     = "SignUpError is now an Error: noName, noEmail and insecurePassword can be thrown.",
        .hint        = {"Stuck? Break it down!", "1. Adopt a protocol after the colon \n 2. The protocol for errors is called Error \nError"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "Error", blue}, {INSTR, "enum", pink}, {INSTR, "SignUpError", project},
                        {INSTR, "In line 1, make SignUpError adopt the Error protocol.", comment},
                        {L1, "SignUpError", project}, {L2, "noName", project}, {L3, "noEmail", project},
                        {L4, "insecurePassword", project}, {SUCCESS, "SignUpError", project}, {SUCCESS, "Error", blue},
                        {SUCCESS, "noName", project}, {SUCCESS, "noEmail", project}, {SUCCESS, "insecurePassword", project},
                        {ERROR, "Error", comment}},
    });

    addLessonStoring(chapter, 70, {
        .id = "CH26L3", .number = 3, .title = "Do try catch",
        .instruction = R"(A call that can throw is marked with try and placed in a do block; a catch block after it handles the error. registerUser throws SignUpError.noName when the name is empty, as it is here. In line 7, catch the SignUpError.noName error.)",
        .code = R"(enum SignUpError: Error { case noName, insecurePassword }
func registerUser(name: String) throws {
   if name.isEmpty { throw SignUpError.noName }
}
do {
   try registerUser(name: "")
} catch«SignUpError.noName»{
   print("Please enter your name.")
})",
        .accepted    = {kShortcutAnswer},
        .success     = R"(registerUser(name: "") threw SignUpError.noName, and the catch block handled it.)",
        .hint        = {"Stuck? Break it down!", "1. Name the enum of the error: SignUpError \n 2. Add the case with dot notation: .noName \nSignUpError.noName"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "try", pink}, {INSTR, " do ", pink}, {INSTR, "catch", pink},
                        {INSTR, "In line 7, catch the SignUpError.noName error.", comment}, {INSTR, "registerUser", project},
                        {L1, "SignUpError", project}, {L1, "Error", blue}, {L1, "noName", project}, {L3, "SignUpError", project},
                        {L3, "noName", project}, {L5, "do", pink}, {L6, "registerUser", project},
                        {SUCCESS, "registerUser", project}, {SUCCESS, "SignUpError.noName", project}, {SUCCESS, "catch", pink},
                        {ERROR, "SignUpError.noName", comment}},
    });

    addLessonStoring(chapter, 78, {
        .id = "CH26L4", .number = 4, .title = "Throw errors with Init 1/2",
        .instruction = "An initializer can throw too, and then no instance is made when it fails. ThreeLetterWord will only accept words of three letters and throw WordError.length otherwise. In line 6, mark the initializer so that it can throw errors.",
        .code = R"(enum WordError: Error {
   case length }
struct ThreeLetterWord {
   let word: String
   // init can throw an error too
   init(word: String)«throws»{
       if word.count != 3 { throw WordError.length }
       self.word = word
   }
})",
        .lines       = 6,
        .accepted    = {kShortcutAnswer},
        .success     = "init(word: String) throws: a ThreeLetterWord can now refuse a word that is too long or too short.",
        .hint        = {"Stuck? Break it down!", "1. Mark an initializer like a function that can throw \nthrows"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "throws", pink}, {INSTR, "ThreeLetterWord", project}, {INSTR, "WordError.length", project},
                        {INSTR, "In line 6, mark the initializer so that it can throw errors.", comment},
                        {L1, "WordError", project}, {L1, "Error", blue}, {L2, "length", project}, {L3, "ThreeLetterWord", project},
                        {L4, "word", project}, {L6, "word", project},
                        {SUCCESS, "init", pink}, {SUCCESS, "throws", pink}, {SUCCESS, "String", blue},
                        {SUCCESS, "ThreeLetterWord", project}, {ERROR, "throws", comment}},
    });

    addLessonStoring(chapter, 78, {
        .id = "CH26L5", .number = 5, .title = "Throw errors with Init 1/2",
        .instruction = "Inside the initializer, check the word before storing it: when its count is not 3, throw the length error, and the instance is never made. In line 7, throw WordError.length if word does not have 3 letters.",
        .code = R"(enum WordError: Error {
   case length }
struct ThreeLetterWord {
   let word: String
   // init can throw an error too
   init(word: String) throws {
       «if word.count != 3 { throw WordError.length }»
       self.word = word
   }
})",
        .accepted    = {kShortcutAnswer, "if word.count != 3 {throw WordError.length}", "if word.count != 3 { throw WordError.length}", "if word.count != 3 {throw WordError.length }"},
        .success     = "A word of any other length than 3 throws WordError.length before self.word is set.",
        .hint        = {"Stuck? Break it down!", "1. Start an if statement: if \n 2. Compare word.count with 3 using != \n 3. In the braces, throw WordError.length \nif word.count != 3 { throw WordError.length }"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .words       = {{"{", ".", "!", "=", "}"}},
        .colors      = {{INSTR, "count", blue}, {INSTR, "WordError.length", project}, {INSTR, "word", project},
                        {INSTR, "In line 7, throw WordError.length if word does not have 3 letters.", comment},
                        {L1, "WordError", project}, {L1, "Error", blue}, {L2, "length", project}, {L3, "ThreeLetterWord", project},
                        {L4, "word", project}, {L6, "word", project}, {L8, "word", project},
                        {SUCCESS, "WordError.length", project}, {SUCCESS, "self", pink}, {SUCCESS, "3", purple},
                        {ERROR, "if word.count != 3 { throw WordError.length }", comment}, {ERROR, "count", blue}},
    });

    addLessonStoring(chapter, 80, {
        .id = "CH26L6", .number = 6, .title = "Initialize struct that throws 1/3",
        .instruction = "Making a ThreeLetterWord can now throw, so it happens inside a do block, followed by a catch block for the error. Over the next lessons you build that do-catch block. In line 1, start the do block.",
        .code = R"(«do»{
   let word = try ThreeLetterWord(word: "cat")
   print(word)
} catch WordError.length {
   print("You need to add a 3 letter word.")
})",
        .lines       = 1,
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "The do block is open: the code that can throw goes inside it.",
        .hint        = {"Stuck? Break it down!", "1. A do-catch block starts with the keyword do \ndo"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "ThreeLetterWord", project}, {INSTR, "catch", pink}, {INSTR, "In line 1, start the do block.", comment},
                        {SUCCESS, "throw", pink}, {ERROR, "do", comment}},
    });

    addLessonStoring(chapter, 80, {
        .id = "CH26L7", .number = 7, .title = "Initialize struct that throws 2/3",
        .instruction = R"(Inside the do block, make a ThreeLetterWord from "cat". Its initializer can throw, so the call needs try in front of it. In line 2, create a constant word with try.)",
        .code = R"(do {
   «let word = try»ThreeLetterWord(word: "cat")
   print(word)
} catch WordError.length {
   print("You need to add a 3 letter word.")
})",
        .lines       = 3,
        .padTo       = 10,
        .accepted    = {kShortcutAnswer, "let word=try"},
        .success     = R"("cat" has three letters, so try succeeds and word holds the new ThreeLetterWord.)",
        .hint        = {"Stuck? Break it down!", "1. Create a constant: let word = \n 2. Mark the call that can throw with try \nlet word = try"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "ThreeLetterWord", project}, {INSTR, R"("cat")", red}, {INSTR, "try", pink},
                        {INSTR, "In line 2, create a constant word with try.", comment}, {L1, "do", pink},
                        {L2, "ThreeLetterWord", project}, {L2, "word", project}, {L3, "word", project},
                        {SUCCESS, R"("cat")", red}, {SUCCESS, "try", pink}, {SUCCESS, "ThreeLetterWord", project},
                        {ERROR, "let word = try", comment}},
    });

    addLessonStoring(chapter, 78, {
        .id = "CH26L8", .number = 8, .title = "Initialize struct that throws 3/3",
        .instruction = R"(A catch block names the error it handles. "do" has only two letters, so the initializer throws WordError.length. In line 4, add the keyword that handles WordError.length.)",
        .code = R"~(do {
   let word = try ThreeLetterWord(word: "do")
   print(word)
} «catch»WordError.length {
   print("You need to add a 3 letter word.")
})~",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = R"("do" is not a 3 letter word: the initializer threw WordError.length and the catch block printed its message.)",
        .hint        = {"Stuck? Break it down!", "1. A catch-block starts with the keyword catch and names the error it handles \ncatch"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "catch", pink}, {INSTR, "WordError.length", project}, {INSTR, R"("do")", red},
                        {INSTR, "In line 4, add the keyword that handles WordError.length.", comment}, {L1, "do", pink},
                        {L2, "ThreeLetterWord", project}, {L2, "word", project}, {L3, "word", project},
                        {L4, "WordError", project}, {L4, "length", project},
                        {SUCCESS, "WordError.length", project}, {SUCCESS, R"("do")", red},
                        {ERROR, "catch-block", pink}, {ERROR, " catch ", comment}},
        .debugger    = true,
        .printValue  = "You need to add a 3 letter word.",
    });

    addLessonStoring(chapter, 81, {
        .id = "CH26L9", .number = 9, .title = "Guard & Error Handling",
        .instruction = "guard pairs well with throw: when its condition fails, the else branch throws and leaves the function at once. registerUser must not go on without a name. In line 6, throw SignUpError.noName.",
        .code = R"(enum SignUpError: Error { case noName }
func registerUser(name: String) throws {
   // leave with an error when the name is empty
   guard !name.isEmpty else {
       print("Name is missing")
       «throw SignUpError.noName»
   } })",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "An empty name now throws SignUpError.noName, and registerUser stops right there.",
        .hint        = {"Stuck? Break it down!", "1. Use the keyword throw \n 2. Name the error: SignUpError.noName \nthrow SignUpError.noName"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .words       = {{".", "!"}},
        .colors      = {{INSTR, "guard", pink}, {INSTR, "throw", pink}, {INSTR, "registerUser", project},
                        {INSTR, "In line 6, throw SignUpError.noName.", comment},
                        {L1, "SignUpError", project}, {L1, "Error", blue}, {L1, "noName", project}, {L2, "name", project},
                        {L4, "name", project}, {L4, "isEmpty", blue},
                        {SUCCESS, "SignUpError.noName", project}, {SUCCESS, "registerUser", project},
                        {ERROR, "throw SignUpError.noName", comment}},
    });

    addLessonStoring(chapter, 85, {
        .id = "CH26L10", .number = 10, .title = "Call function with do-catch",
        .instruction = R"(newUser throws SignUpError.noName when it is given an empty name. Call it with try inside the do block and see the catch block take over. In line 8, call newUser with an empty name "".)",
        .code = R"~(enum SignUpError: Error { case noName }
func newUser(name: String) throws {
   guard !name.isEmpty else {
       throw SignUpError.noName }
   print("Welcome \(name)!")
}
do {
   «try newUser(name: "")»
} catch SignUpError.noName {
   print("Please enter a name.") })~",
        .accepted    = {kShortcutAnswer},
        .success     = R"(The empty name made newUser throw SignUpError.noName, so the catch block printed its message instead of "Welcome".)",
        .hint        = {"Stuck? Break it down!", "1. Mark the call with try \n 2. Call newUser with an empty name \ntry newUser(name: \"\")"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .words       = {{"(", ":", R"(")", ")"}},
        .colors      = {{INSTR, "newUser", project}, {INSTR, "try", pink}, {INSTR, R"(In line 8, call newUser with an empty name "".)", comment},
                        {INSTR, "SignUpError.noName", project},
                        {L1, "SignUpError", project}, {L1, "Error", blue}, {L1, "noName", project}, {L3, "isEmpty", blue},
                        {L4, "SignUpError", project}, {L4, "noName", project}, {L7, "do", pink},
                        {L9, "SignUpError", project}, {L9, "noName", project},
                        {SUCCESS, "newUser", project}, {SUCCESS, "SignUpError.noName", project}, {SUCCESS, R"("Welcome")", red},
                        {ERROR, R"(try newUser(name: ""))", comment}},
        .debugger    = true,
        .printValue  = "Please enter a name.",
    });

    addLessonStoring(chapter, 90, {
        .id = "CH26L11", .number = 11, .title = "Multiple Catch Blocks",
        .instruction = R"(One do block can be followed by several catch blocks, one for each error. newUser is called with the password "1234", which is too short. In line 8, add a catch block for SignUpError.insecurePassword.)",
        .code = R"~(enum SignUpError: Error { case noEmail, insecurePassword }
func newUser(email: String, password: String) throws {
   if email.isEmpty { throw SignUpError.noEmail }
   if password.count < 8 { throw SignUpError.insecurePassword } }
do {
   try newUser(email: "mira@example.com", password: "1234")
} catch SignUpError.noEmail { print("Please enter your e-mail.")
}«catch SignUpError.insecurePassword»{
   print("Your password needs 8 characters or more.")
})~",
        .accepted    = {kShortcutAnswer},
        .success     = R"("1234" has only 4 characters, so newUser threw SignUpError.insecurePassword and the second catch block handled it. You finished the Swift course!)",
        .hint        = {"Stuck? Break it down!", "1. Start with the keyword catch \n 2. Name the error: SignUpError.insecurePassword \ncatch SignUpError.insecurePassword"},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Tap to answer",
        .words       = {{".", "!"}},
        .colors      = {{INSTR, "catch", pink}, {INSTR, "newUser", project}, {INSTR, R"("1234")", red},
                        {INSTR, "In line 8, add a catch block for SignUpError.insecurePassword.", comment},
                        {L1, "SignUpError", project}, {L1, "Error", blue}, {L1, "noEmail", project}, {L1, "insecurePassword", project},
                        {L3, "email", project}, {L3, "isEmpty", blue}, {L3, "SignUpError", project},
                        {L4, "password", project}, {L4, "count", blue}, {L4, "SignUpError", project}, {L5, "do", pink},
                        {L6, "newUser", project}, {L7, "SignUpError", project},
                        {SUCCESS, R"("1234")", red}, {SUCCESS, "newUser", project}, {SUCCESS, "SignUpError.insecurePassword", project},
                        {ERROR, "catch SignUpError.insecurePassword", comment}},
        .debugger    = true,
        .printValue  = "Your password needs 8 characters or more.",
    });
}
// clang-format on
