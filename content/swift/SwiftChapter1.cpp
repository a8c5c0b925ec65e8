// Swift course, chapter 1: strings, variables, types, constants, printing and two small challenges.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter1(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH1L1", .number = 1, .title = R"("Hi" It's nice to meet you!)",
        .instruction = R"(Welcome to Velomarinth! Every program starts by saying hello. Type "Hi" (with the quotes) to store a greeting in the variable.)",
        .code = R"(var greeting = «"Hi"»
print(greeting))",
        .accepted    = {R"("Hello")"},
        .success     = R"(You just wrote your first line of Swift: var greeting now holds the greeting you typed.)",
        .hint        = {"Stuck?", "1. Just say hi!\n2. Text goes between double quotes: \"Hi\""},
        .wrong       = {{"Stuck?", "Strings are always written between double quotes. Try \"Hi\"", R"(")", false},
                        {"Stuck?", "Almost! Swift cares about capital letters: write \"Hi\" with a capital H.", R"("h)", true}},
        .placeholder = R"(Tap to enter "Hi")",
        .inputColor  = red,
        .words       = {{R"(")", "=", ":"}},
        .colors      = {{INSTR, R"("Hi")", red}, {L1, "var", pink}, {L2, "print", blue}, {L2, "greeting", project},
                        {SUCCESS, " var ", pink}, {SUCCESS, "greeting", project}, {SUCCESS, R"("Hi")", red},
                        {ERROR, "Strings", blue}, {ERROR, R"("Hi")", red}},
        .autoColor   = false,
        .debugger    = true,
        .video       = "PtYgjmUhBel",
    });

    addLesson(chapter, {
        .id = "CH1L2", .number = 2, .title = "A variable is like a box",
        .instruction = "var makes a variable: a box with a name that holds a value. Name this box myFirstProgram.",
        .code = R"(var «myFirstProgram»)",
        .success     = "Great! var myFirstProgram is your first box. Names start with a small letter and join words with capitals.",
        .hint        = {"Stuck!", "1. After var comes the name of the box\n2. Type myFirstProgram"},
        .wrong       = {{"No quotes", "A variable name is not text, so it needs no double quotes.", R"(")", true},
                        {"Small letter first", "Variable names start with a small letter: myFirstProgram", "M", true}},
        .placeholder = "Enter name of variable",
        .words       = {{"!", "="}},
        .colors      = {{INSTR, "myFirstProgram", project}},
        .colorCount  = 7,
        .video       = "31iEl2hpChY",
    });

    addLesson(chapter, {
        .id = "CH1L3", .number = 3, .title = "What Type of box?",
        .instruction = "Every box holds one type of value, written after a colon: var myFirstProgram: Type. This box holds text, so its type is String.",
        .code = R"(var myFirstProgram: «String»)",
        .success     = "Right! var myFirstProgram: String is a box for text.",
        .hint        = {"Declare the type", "1. The type comes after the colon: var myFirstProgram:\n2. Text is of type String (capital S)"},
        .wrong       = {{"Use a colon", "The type follows a colon, not an equal sign.", "=", true},
                        {"Capital S", "Types start with a capital letter: String", "s", true}},
        .placeholder = "Declare type",
        .inputColor  = blue,
        .words       = {{"S", "="}},
        .colors      = {{INSTR, "String", blue}, {INSTR, "myFirstProgram", project}},
        .colorCount  = 10,
        .video       = "gCfrL1spNxn",
    });

    addLesson(chapter, {
        .id = "CH1L4", .number = 4, .title = "Put a String in the box",
        .instruction = R"(var myFirstProgram: String is an empty box for text. Put "Hello world" into it.)",
        .code = R"(var myFirstProgram: String
myFirstProgram = «"Hello world"»
print(myFirstProgram))",
        .success     = "Hello world! Every programmer starts here.",
        .hint        = {"We found a bug", "1. Text goes between double quotes\n2. Type \"Hello world\""},
        .wrong       = {{"We found a bug", "A String needs double quotes around it: \"Hello world\"", R"(")", false}},
        .placeholder = "Enter String",
        .inputColor  = red,
        .words       = {{R"(")", "=", "H"}},
        .colors      = {{INSTR, R"("Hello world")", red}, {INSTR, "myFirstProgram", project}},
        .colorCount  = 11,
        .debugger    = true,
        .video       = "yVmihA_2O76",
    });

    addLesson(chapter, {
        .id = "CH1L5", .number = 5, .title = "Create a variable",
        .instruction = "Use var to declare a variable called age of type Int, a whole number.",
        .code = R"(«var age: Int»)",
        .accepted    = {"var age : Int", "var age:Int", "var age :Int"},
        .success     = "Well done! var age: Int can now hold any whole number, like 12 or 42.",
        .hint        = {"Stuck?", "1. Start with var\n2. Then the name age\n3. Then a colon and the type Int"},
        .wrong       = {{"Use var", "A variable is declared with var, not let.", "l", true}},
        .placeholder = "Declare a new variable of Type Int",
        .words       = {{":", "="}},
        .colors      = {{INSTR, "age", project}, {INSTR, "Int", blue}, {SUCCESS, "12", purple}, {SUCCESS, "42", purple}},
        .colorCount  = 12,
        .video       = "UMFxFkM_R5K",
    });

    addLesson(chapter, {
        .id = "CH1L6", .number = 6, .title = "Initialize a variable",
        .instruction = "var age: Int made a box for a whole number. Give age its first value: enter your age.",
        .code = R"(var age: Int
age = «10»
print("You are \(age) years old."))",
        .accepted    = wholeNumbers(5, 100),
        .success     = "Nice! The number after age = gives age its first value. That is called initializing a variable.",
        .hint        = {"Stuck?", "1. Enter your real age after age =\n2. Or any whole number between 5 and 100"},
        .placeholder = "Enter your age",
        .words       = {{":", "="}},
        .colors      = {{INSTR, "age", project}, {SUCCESS, "initializing", comment},
                        {ERROR, "5", purple}, {ERROR, "100", purple}},
        .colorCount  = 15,
        .debugger    = true,
        .labels      = Labels{"You are ", " years old."},
        .video       = "jp1vRt-1fjO",
    });

    addLesson(chapter, {
        .id = "CH1L7", .number = 7, .title = "Type Inference",
        .instruction = R"~(Swift can guess the type from the value. Use var to declare name and put your name in it, like var name = "Sam". The print line then greets you with \(name).)~",
        .code = R"(«var name = ""»
print("Great work \(name)!"))",
        .success     = R"(var name = "Sam" holds text in quotes, so Swift made name a String by itself. That is type inference.)",
        .hint        = {"Stuck?", "1. Start with var name\n2. Add an equal sign\n3. Type your name between double quotes"},
        .wrong       = {{"Don't declare the Type", "No need to write the type String here: Swift infers it from the value.", "var name:", true},
                        {"Don't forget the equal sign", "A value is given with =: var name = \"Sam\"", R"(var name ")", true}},
        .placeholder = "Declare and initialize new variable",
        .words       = {{R"(")", "=", ":"}},
        .colors      = {{INSTR, "name", project}, {INSTR, R"(\(name))", project}, {L2, "name", project},
                        {SUCCESS, "type inference", comment}},
        .colorCount  = 17,
        .debugger    = true,
        .labels      = Labels{"Great work ", "!"},
        .dynamic     = Dynamic{4, 3},
        .video       = "RS_6ilI8ihN",
    });

    addLesson(chapter, {
        .id = "CH1L8", .number = 8, .title = "Remember only one thing",
        .instruction = R"(A var remembers only its latest value: feeling was "sleepy" a moment ago. Tell feeling how you feel right now.)",
        .code = R"(var feeling = "sleepy"
// feeling forgets "sleepy" on the next line
feeling = «""»
print("Your mood is \(feeling)!"))",
        .success     = "The old value is gone: var feeling keeps only the last thing you put in it.",
        .hint        = {"Stuck?", "1. Type a mood between double quotes\n2. For example \"happy\""},
        .placeholder = "Enter new String",
        .inputColor  = red,
        .words       = {{R"(")", "="}},
        .colors      = {{INSTR, "feeling", project}},
        .colorCount  = 13,
        .debugger    = true,
        .labels      = Labels{"Your mood is ", "!"},
        .dynamic     = Dynamic{1, 1},
        .video       = "5KXSc7Tvo_h",
    });

    addLesson(chapter, {
        .id = "CH1L9", .number = 9, .title = "Variables vs. Constants",
        .instruction = "A minute always has 60 seconds, so it should never change. Declare the constant secondsPerMinute with the value 60.",
        .code = R"(// a value that never changes is a constant
let «secondsPerMinute = 60»
print(secondsPerMinute))",
        .accepted    = {"secondsPerMinute: Int = 60", "secondsPerMinute:Int=60", "secondsPerMinute=60"},
        .success     = "Use let for values that never change and var for values that do.",
        .hint        = {"Stuck?", "1. Write the name secondsPerMinute\n2. Then = 60"},
        .wrong       = {{"Name first", "Write the name of the constant before the equal sign.", "=", true},
                        {"No quotes", "60 is a number, not text: leave out the quotes.", R"(secondsPerMinute = ")", true}},
        .placeholder = "Enter answer to proceed",
        .words       = {{"P", "M", "=", "6", "0"}},
        .colors      = {{INSTR, "secondsPerMinute", project}, {INSTR, "60", purple}},
        .colorCount  = 10,
        .debugger    = true,
        .printValue  = "60",
        .video       = "BKqFYY_kv5Z",
    });

    addLesson(chapter, {
        .id = "CH1L10", .number = 10, .title = "Combining Strings",
        .instruction = "Join appName and review into one String with the + operator.",
        .code = R"(let appName = "Velomarinth"
let review = " is fun!"
let message = «appName + review»
print(message))",
        .accepted    = {"appName+review"},
        .success     = "Adding Strings with + glues them together.",
        .hint        = {"Stuck?", "1. Start with appName\n2. Add + review"},
        .placeholder = "Combine strings",
        .words       = {{"+", "=", ":"}},
        .colors      = {{INSTR, "appName", project}, {INSTR, "review", project}, {INSTR, "+", pink}},
        .colorCount  = 14,
        .debugger    = true,
        .printValue  = "Velomarinth is fun!",
        .video       = "Jr3J1TWDtkw",
    });

    addLesson(chapter, {
        .id = "CH1L11", .number = 11, .title = "Let's print",
        .instruction = "print shows a value in the console. Print the quote.",
        .code = R"(let quote = "Practice makes progress."
«print(quote)»)",
        .accepted    = {"print( quote )", "print ( quote )", "print( quote )", "print (quote)"},
        .success     = "print(quote) shows the text of quote in the console.",
        .hint        = {"Stuck?", "1. Write print\n2. Put quote between the parentheses"},
        .wrong       = {{"Small p", "print is written with a small p.", "P", true},
                        {"No equal sign", "print is called with parentheses: print(quote)", "print =", true},
                        {"No quotes", "quote is a variable: write its name without quotes.", R"(print(")", true}},
        .placeholder = "print the quote variable",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "print", blue}, {INSTR, "quote", project}},
        .colorCount  = 9,
        .debugger    = true,
        .printValue  = "Practice makes progress.",
        .video       = "tDDb-xHKas1",
    });

    addLesson(chapter, {
        .id = "CH1L12", .number = 12, .title = "String Interpolation",
        .instruction = R"(let language = "Swift" is ready. Use print to show "I am learning Swift": put \(language) inside the text.)",
        .code = R"~(let language = "Swift"
«print("I am learning \(language)")»)~",
        .accepted    = {R"(print("I am learning " + language))", R"(print ( "I am learning " + language ))",
                        R"(print ("I am learning " + language))", R"(print("I am learning "+language))",
                        R"~(print ( "I am learning \(language)" ))~", R"~(print ("I am learning \(language)"))~"},
        .success     = R"~(It shows I am learning Swift: \(language) puts the value of language right into a String, and + joins two Strings into one.)~",
        .hint        = {"Stuck?", "1. print(\"I am learning \")\n2. Add \\(language) before the closing quote\n3. Or join with +: \"I am learning \" + language"},
        .placeholder = "print the requested string",
        .words       = {{"(", R"(")", ")", R"(\)", "+"}},
        .colors      = {{INSTR, R"("I am learning Swift")", red}, {INSTR, "language", project}, {INSTR, R"(\(language))", project}},
        .colorCount  = 16,
        .debugger    = true,
        .printValue  = "I am learning Swift",
        .video       = "VOqg6YYZYn9",
    });

    addLesson(chapter, {
        .id = "CH1L13", .number = 13, .title = "Challenge 1 - Step 1/4",
        .instruction = R"(Challenge! Use var to declare company and store the String "Apple" in it: the first piece of a sentence about Apple.)",
        .code = R"(«var company = "Apple"»)",
        .accepted    = {R"(var company: String = "Apple")", R"(var company : String = "Apple")", R"(var company="Apple")"},
        .success     = R"(Step 1 done: company holds the String "Apple". Three to go!)",
        .hint        = {"Stuck?", "1. Start with var company\n2. Add = and the String \"Apple\"\n3. Or write the type too: var company: String = \"Apple\""},
        .placeholder = "Declare and initialize new variable",
        .words       = {{R"(")", "=", ":"}},
        .colors      = {{INSTR, "company", project}, {INSTR, R"("Apple")", red}, {INSTR, "Challenge!", orange},
                        {SUCCESS, "Step 1", comment}, {SUCCESS, "=", pink}, {ERROR, "=", pink}},
        .colorCount  = 16,
        .video       = "ZhyiA4uoRgn",
    });

    addLesson(chapter, {
        .id = "CH1L14", .number = 14, .title = "Challenge 1 - Step 2/4",
        .instruction = "Apple was founded in 1976 and that will never change. Declare the constant yearFounded.",
        .code = R"(var company = "Apple"
«let yearFounded = 1976»)",
        .accepted    = {"let yearFounded=1976", "let yearFounded:Int=1976", "let yearFounded: Int = 1976"},
        .success     = "Step 2 done. A year that never changes is a constant.",
        .hint        = {"Stuck?", "1. Use let for a constant\n2. let yearFounded = 1976"},
        .wrong       = {{"Use let", "The year never changes, so make it a constant with let.", "v", true}},
        .placeholder = "Declare and initialize new variable",
        .words       = {{R"(")", "=", ":"}},
        .colors      = {{INSTR, "yearFounded", project}, {INSTR, "1976", purple}},
        .colorCount  = 7,
        .video       = "atmUdjAWtGS",
    });

    addLesson(chapter, {
        .id = "CH1L15", .number = 15, .title = "Challenge 1 - Step 3/4",
        .instruction = R"(Declare a variable str holding " was founded in " (with a space at both ends).)",
        .code = R"(var company = "Apple"
let yearFounded = 1976
«var str = " was founded in "»)",
        .accepted    = {R"(var str=" was founded in ")", R"(var str: String = " was founded in ")",
                        R"(var str:String = " was founded in ")", R"(var str:String=" was founded in ")"},
        .success     = "Step 3 done. The spaces inside the quotes keep the words apart.",
        .hint        = {"Stuck?", "1. var str =\n2. \" was founded in \" with a space after the first quote and before the last"},
        .wrong       = {{"Name it str", "The variable is called str.", R"(var string = " was founded in)", true}},
        .placeholder = "Declare and initialize new string variable",
        .words       = {{R"(")", "=", ":"}},
        .colors      = {{INSTR, "str", project}, {INSTR, R"(" was founded in ")", red}},
        .colorCount  = 10,
        .video       = "U8po-799Nks",
    });

    addLesson(chapter, {
        .id = "CH1L16", .number = 16, .title = "Challenge 1 - Step 4/4",
        .instruction = "Print company, str and yearFounded as one sentence. Turn the year into text with String(yearFounded).",
        .code = R"(var company = "Apple"
let yearFounded = 1976
var str = " was founded in "
«print(company + str + String(yearFounded))»)",
        .accepted    = {"print(company+str+String(yearFounded))"},
        .success     = "Challenge 1 complete! A number must become a String before it can be joined to text.",
        .hint        = {"Stuck?", "1. print( )\n2. company + str\n3. + String(yearFounded)"},
        .placeholder = "print the output to the console",
        .words       = {{"(", R"(")", ")", R"(\)", "+"}},
        .colors      = {{INSTR, "String(yearFounded)", blue}},
        .colorCount  = 11,
        .debugger    = true,
        .printValue  = "Apple was founded in 1976",
        .labels      = kNoLabels,
        .video       = "nRH9ucAUsdM",
    });

    addLesson(chapter, {
        .id = "CH1L17", .number = 17, .title = "Challenge 2 - Step 1/4",
        .instruction = "Challenge 2: convert Fahrenheit to Celsius. Use let to declare the constant celsius of type Float, without a value yet.",
        .code = R"(«let celsius: Float»)",
        .accepted    = {"let celsius:Float"},
        .success     = "let celsius: Float is ready. A Float holds numbers with a decimal point, like 10.0.",
        .hint        = {"Stuck?", "1. let celsius\n2. : Float (a colon, not =)"},
        .wrong       = {{"Declare the type", "No value yet: give celsius its type with a colon.", "let celsius =", true},
                        {"Declare the type", "No value yet: give celsius its type with a colon.", "let celsius=", true}},
        .words       = {{":", "="}},
        .colors      = {{INSTR, "celsius", project}, {INSTR, "Float", blue}, {INSTR, "Challenge 2", orange},
                        {SUCCESS, "10.0", purple}, {ERROR, "=", pink}},
        .colorCount  = 12,
        .video       = "lHUvTCQCyEZ",
    });

    addLesson(chapter, {
        .id = "CH1L18", .number = 18, .title = "Challenge 2 - Step 2/4",
        .instruction = "Declare the constant fahrenheit of type Float with the value 50.",
        .code = R"(let celsius: Float
«let fahrenheit: Float = 50»)",
        .accepted    = {"let fahrenheit:Float=50", "let fahrenheit:Float = 50"},
        .success     = "Step 2 done. 50 is stored as the Float 50.0.",
        .hint        = {"Stuck?", "1. let fahrenheit: Float\n2. = 50"},
        .wrong       = {{"Wrong name", "This line declares fahrenheit.", "let celsius =", true},
                        {"Declare the type", "Write the type Float before the value.", "let fahrenheit=", true}},
        .words       = {{":", "="}},
        .colors      = {{INSTR, "fahrenheit", project}, {INSTR, "50", purple}},
        .colorCount  = 10,
        .video       = "Dz_TddJ8HyS",
    });

    addLesson(chapter, {
        .id = "CH1L19", .number = 19, .title = "Challenge 2 - Step 3/4",
        .instruction = "Give celsius its value: subtract 32 from fahrenheit, then divide by 1.8.",
        .code = R"(let celsius: Float
let fahrenheit: Float = 50
«celsius = (fahrenheit - 32) / 1.8»)",
        .accepted    = {"celsius=(fahrenheit-32)/1.8", "celsius = (fahrenheit - 32)/1.8", "celsius = (-32 + fahrenheit) / 1.8",
                        "celsius=(-32+fahrenheit)/1.8", "celsius = (fahrenheit - 32) * 5 / 9", "celsius = (fahrenheit - 32) * 5/9",
                        "celsius=(fahrenheit-32)*5/9", "celsius = (fahrenheit - 32) / (9 / 5)", "celsius = (fahrenheit - 32) / (9/5)",
                        "celsius = (fahrenheit - 32)/(9/5)", "celsius = (fahrenheit-32)/1.8", "celsius = (fahrenheit-32) / 1.8"},
        .success     = "Step 3 done. The parentheses make the subtraction happen first.",
        .hint        = {"Stuck?", "1. celsius =\n2. (fahrenheit - 32)\n3. / 1.8"},
        .wrong       = {{"Declare Type", "celsius is declared already: just assign it, without let.", "let celsius =", true}},
        .words       = {{"(", ":", "=", ".", ")"}},
        .colors      = {{INSTR, "celsius", project}, {INSTR, "fahrenheit", project}, {INSTR, "1.8", purple}},
        .colorCount  = 9,
        .video       = "5SUkCnD8zRA",
    });

    addLesson(chapter, {
        .id = "CH1L20", .number = 20, .title = "Challenge 2 - Step 4/4",
        .instruction = R"(Print the temperature in a sentence with string interpolation: "It is \(celsius) degrees Celsius.")",
        .code = R"(let celsius: Float
let fahrenheit: Float = 50
celsius = (fahrenheit - 32) / 1.8
«print("It is \(celsius) degrees Celsius.")»)",
        .success     = "Challenge 2 complete! You converted a temperature with Swift.",
        .hint        = {"Stuck?", "1. print(\"It is  degrees Celsius.\")\n2. Put \\(celsius) between \"is\" and \"degrees\""},
        .wrong       = {{"Just print", "celsius already has its value: print it.", "let celsius =", true}},
        .words       = {{"(", R"(")", R"(\)", ")"}},
        .colors      = {{INSTR, R"(\(celsius))", project}},
        .colorCount  = 12,
        .debugger    = true,
        .printValue  = "It is 10.0 degrees Celsius.",
        .labels      = kNoLabels,
        .video       = "9a9SkpXz9w3",
    });
}
// clang-format on
