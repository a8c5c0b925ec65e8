// C++ course, chapter 7: C-strings (puts, strcpy, strcat, strlen, strchr), string objects (length,
// to_string and stoi, transform, find and npos, count, arrays of strings, substr) and five challenges.
#include "content/cpp/CppCourse.hpp"
#include "content/cpp/CppLesson.hpp"

using namespace content;
using namespace content::cpp;
using namespace content::form;

namespace {

const LessonText kSearch = "count character occurrences string char";
const LessonText kOtherWays = "Let's take a look at some other common ways to work with strings.";
const LessonText kTracking = R"("Tracking number: ")";
const LessonText kNewLine = R"("\n")";
// The null character itself: the first answer of challenge 2 writes it between the quotes of a char.
const std::string kNul(1, '\0');

// The code-line rules of lesson 1, which challenge 2 (a review of lesson 1) carries on.
const std::vector<ColorRule> kLessonOneLines =
    join({in(L1, pink, {"int"}),
          in(L2, pink, {"for", "int"}),
          in(L2, blue, {"std"}),
          in(L2, pink, {"bool", "true", "false", "if"}),
          in(L2, blue, {"string"}),
          in(L2, red, {R"("Hi")"}),
          in(L2, purple, {"5"}),
          in(L3, pink, {"char", "int", "bool", "true", "false", "if", "true", "false"}),
          in(L3, red, {R"("Hi")"}),
          in(L3, purple, {"3"}),
          in(L4, pink, {"char", "if", "bool"}),
          in(L4, red, {R"("Hi")"}),
          in(L4, purple, {"5", "'H'", "'i'", R"('\0')"}),
          in(L5, purple, {"'H'", "'i'", R"('\0')", "10"}),
          in(L5, pink, {"char"}),
          in(L6, blue, {"puts"}),
          in(L5, blue, {"std::cout", "std::endl"}),
          in(L5, red, {kTracking}),
          in(L6, blue, {"std::cout", "std::endl"}),
          in(L6, red, {kTracking})});

} // namespace

// clang-format off
void buildCppChapter7(Chapter& chapter) {
    {   // C++CH7L1
        const LessonText task = "In line 6, add one of the strings to the puts() function.";
        addCppLesson(chapter, {
            .title = "C-Strings",
            .instruction = "A string is a collection of characters.  There are two types of strings commonly used in C++.  The first type are string objects that are part of the string class.  The second type are C-strings.  C-Strings are characters stored in the form of arrays.  The arrays are of type char and a null character is added at the end of the string. puts() can be used to display the value of a C-String.  " + task,
            .code = R"(int main() {
   std::string stringObject = "Hi";
   char str1[3] = "Hi";
   char str2[] = {'H','i','\0'};
   char str3[10] = {'H','i','\0'};
   puts(«str1»);
})",
            .accepted    = {"str2", "str3"},
            .success     = R"(Did you notice that str3 has an array of size 10?  That's perfectly fine.  You don't have to use all allocated spaces but you must add an extra space for the '\0' character so the min in this case is 3.)",
            .hint        = {"Stuck? Break it down!", steps({"The puts function only works on C-Strings so print one of the C-Strings using the puts() function."}) + ANSWER},
            .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
            .words       = {{"(", ";", ")"}},
            .colors      = join({in(INSTR, blue, {"characters", "string objects", "C-Strings"}), in(INSTR, comment, {task}),
                                 in(INSTR, blue, {"arrays", "type char", "puts()"}), kLessonOneLines,
                                 in(SUCCESS, project, {"str3"}), in(SUCCESS, purple, {"10", " 3 ", R"('\0')"}),
                                 in(ERROR, comment, {ANSWER, "type array[elements];"})}),
            .debugger    = true,
            .printValue  = "Hi",
        });
    }

    // C++CH7L2
    addCppLesson(chapter, {
        .title = "Copy C-Strings",
        .instruction = "An array name cannot be assigned another array, so C-strings are copied with strcpy(): strcpy(s1, s2) copies s2 into s1 .  In line 6, print str2 with puts().",
        .code = R"(int main() {
   char str1[3] = {'O','h','\0'};
   char str2[10];
   // copy str1 into str2
   strcpy( str2, str1);
   «puts(str2);»
})",
        .accepted    = {BLANKLESS, "puts( str2 );"},
        .success     = "Well done.  C-strings are also called null-terminated strings, after the '\\0' that ends them.",
        .hint        = {"Stuck? Break it down!", steps({"1. Call the puts function", "2. Pass str2 to it"}) + ANSWER},
        .words       = {{"(", ";", ")"}},
        .colors      = join({in(INSTR, comment, {"In line 6, print str2 with puts()."}), in(INSTR, blue, {"strcpy()", "puts()", "C-Strings"}),
                             in(INSTR, project, {" s1 ", " s2 "}), in(INSTR, blue, {"array", "type char"}), in(L1, pink, {"int"}),
                             in(L2, pink, {"char", "int", "bool", "true", "false", "if"}), in(L2, purple, {"'O'", "'h'", R"('\0')", "3"}),
                             in(L2, blue, {"std", "string"}), in(L3, pink, {"char", "int", "bool", "true", "false", "if"}),
                             in(L3, purple, {"10"}), in(L4, comment, {"// copy str1 into str2"}), in(L5, blue, {"strcpy"}),
                             in(L5, purple, {"'H'", "'i'", R"('\0')"}), in(L5, pink, {"char"}),
                             in(L6, blue, {"puts", "std::cout", "std::endl"}), in(L6, red, {kTracking}),
                             in(L7, blue, {"std::cout", "std::endl"}), in(L7, red, {kTracking}), in(L8, red, {kTracking}),
                             in(SUCCESS, blue, {"null-terminated strings"}), in(SUCCESS, project, {"str2"}),
                             in(SUCCESS, purple, {R"('\0')"}), in(ERROR, comment, {ANSWER, "type array[elements];", "str2"})}),
        .debugger    = true,
        .printValue  = "Oh",
    });

    // C++CH7L3
    addCppLesson(chapter, {
        .title = "Combine C-Strings",
        .instruction = R"(strcat(s1,s2) appends s2 to the end of s1.  In line 5, append "are " to str with strcat().)",
        .code = R"(int main() {
   char str[100];
   strcpy(str,"These ");
   strcat(str,"strings ");
   «strcat(str,"are ");»
   strcat(str,"concatenated.");
   puts(str);
})",
        .accepted    = {R"(strcat (str,"are ");)", R"(strcat (str,"are ") ;)", R"(strcat ( str,"are ");)"},
        .success     = "It works because str has room for 100 characters.  Always make sure a C-string's array is big enough for everything you put in it.",
        .hint        = {"Stuck? Break it down!", steps({"1. Call strcat", "2. The destination comes first: str", R"(3. Then the text to append: "are ")"}) + ANSWER},
        .words       = {{"(", ",", R"(")", ";", ")"}},
        .colors      = join({in(INSTR, comment, {"In line 5"}), in(INSTR, blue, {"strcat()"}), in(INSTR, red, {R"("are ")"}),
                             in(INSTR, project, {" s2 ", " s1"}), in(INSTR, blue, {"C-Strings", "array"}), in(L1, pink, {"int"}),
                             in(L2, pink, {"char"}), in(L2, purple, {"100"}), in(L2, pink, {"int", "bool", "true", "false", "if", "for"}),
                             in(L2, blue, {"std", "string"}), in(L3, blue, {"strcpy"}), in(L3, red, {R"("These ")"}),
                             in(L3, pink, {"char"}), in(L3, purple, {"'H'", "'i'"}), in(L4, blue, {"strcat"}),
                             in(L4, red, {R"("strings ")"}), in(L5, blue, {"strcat"}), in(L5, red, {R"("are ")"}),
                             in(L6, blue, {"strcat"}), in(L6, red, {R"("concatenated.")"}),
                             in(L7, blue, {"puts", "std::cout", "std::endl"}), in(L7, red, {kTracking}),
                             in(L8, blue, {"std::cout", "std::endl"}), in(L9, red, {kTracking}),
                             in(SUCCESS, purple, {"100", R"('\0')"}), in(SUCCESS, project, {" str "}),
                             in(ERROR, comment, {ANSWER, "strcat", "type array[elements];"})}),
        .debugger    = true,
        .printValue  = "These strings are concatenated.",
    });

    // C++CH7L4
    addCppLesson(chapter, {
        .title = "C-strings elements vs length",
        .instruction = "The number of elements of an array is the size of the whole array divided by the size of one element, as sizeof shows in line 3.  strlen() counts the characters of a C-string instead.  In line 6, use strlen on myStr.",
        .code = R"(int main() {
   char myStr[] = "Hello ";
   int elements = sizeof(myStr)/ sizeof (myStr[0]);
   std::cout << "Elements: " << elements;
   std::cout << ", " << "Characters: ";
   std::cout << «strlen(myStr)» << "\n";
})",
        .accepted    = {BLANKLESS, "strlen (myStr)", "strlen ( myStr)", "strlen ( myStr )", "strlen( myStr )", "strlen( myStr)"},
        .success     = R"(myStr has 7 elements but only 6 characters ("Hello" and a blank): the last element holds the null character '\0'.  Mind that sizeof works only for fixed arrays.)",
        .hint        = {"Stuck? Break it down!", steps({"1. Call strlen", "2. Pass myStr to it"}) + ANSWER},
        .words       = {{"(", ")"}},
        .colors      = join({in(INSTR, comment, {"In line 6"}), in(INSTR, pink, {"sizeof"}), in(INSTR, blue, {"strlen()"}),
                             in(INSTR, project, {" myStr"}), in(INSTR, blue, {"C-Strings", "array"}), in(L1, pink, {"int"}),
                             in(L2, pink, {"char"}), in(L2, red, {R"("Hello ")"}), in(L2, pink, {"int", "bool", "true", "false", "if", "for"}),
                             in(L2, blue, {"std", "string"}), in(L3, pink, {"int", "sizeof", " sizeof "}), in(L3, purple, {"0"}),
                             in(L3, pink, {"bool", "true", "false"}), in(L4, blue, {"std", "cout"}), in(L4, red, {R"("Elements: ")"}),
                             in(L4, pink, {"for", "if"}), in(L5, blue, {"std", "cout"}), in(L5, red, {R"(", ")", R"("Characters: ")"}),
                             in(L5, pink, {"int", "if"}), in(L6, blue, {"std", "cout"}), in(L6, red, {kNewLine}),
                             in(L7, blue, {"std::cout", "std::endl"}), in(L8, red, {kTracking}), in(L9, red, {kTracking}),
                             in(SUCCESS, pink, {"sizeof"}), in(SUCCESS, purple, {"7", R"('\0')"}),
                             in(ERROR, comment, {ANSWER, "strlen", "type array[elements];", "myStr"})}),
        .debugger    = true,
        .printValue  = "Elements: 7, Characters: 6",
    });

    // C++CH7L5
    addCppLesson(chapter, {
        .title = "Find character in C-string",
        .instruction = R"(strchr(str, ch) returns a pointer to the first ch in str .  In line 2, declare a C-string str holding "Yes!".)",
        .code = R"(int main() {
   «char str[] = "Yes!";»
   char *x = strchr(str, '!');
   long int foundAtIndex = x - str;
   std::cout << "Found '!' at index: ";
   std::cout << foundAtIndex << "\n";
})",
        .accepted    = {R"(char str[]="Yes!";)", R"(char str[] = "Yes!";)", R"(char str[5]="Yes!";)", R"(char str[5] = "Yes!";)",
                        R"(char str[]= {'Y','e','s','!','\0'};)", R"(char str[] = {'Y','e','s','!','\0'};)",
                        R"(char str[]={'Y','e','s','!','\0'};)", R"(char str[5]= {'Y','e','s','!','\0'};)"},
        .success     = "x points at the '!' and str at the first character, so subtracting the two addresses gives the index: foundAtIndex is 3 .",
        .hint        = {"Stuck? Break it down!", steps({"1. A C-string can be initialised in several ways", "2. Two of the accepted answers:"}) + ANSWER
                                                 + " \n " + R"(char str[] = {'Y','e','s','!','\0'};)"},
        .words       = {{"[", "=", R"(")", ";", "]"}},
        .colors      = join({in(INSTR, comment, {"line 2"}), in(INSTR, blue, {"strchr(str, ch)"}), in(INSTR, red, {R"("Yes!")"}),
                             in(INSTR, project, {" str ", " ch"}), in(INSTR, blue, {"C-Strings", "array", "type char"}),
                             in(L1, pink, {"int"}), in(L2, pink, {"char", "int", "bool", "true", "false", "if"}),
                             in(L2, blue, {"std", "string"}), in(L2, red, {R"("Hi")"}), in(L2, purple, {"5"}),
                             in(L3, pink, {"char"}), in(L3, blue, {"strchr"}), in(L3, purple, {"'!'"}),
                             in(L3, pink, {"int", "bool", "true", "false"}), in(L4, pink, {"long", "int", "if", "for"}),
                             in(L5, blue, {"std", "cout"}), in(L5, red, {R"("Found '!' at index: ")"}), in(L5, pink, {"if"}),
                             in(L6, blue, {"std", "cout"}), in(L6, red, {kNewLine}), in(L7, blue, {"std::cout", "std::endl"}),
                             in(L8, red, {kTracking}), in(L9, red, {kTracking}), in(SUCCESS, project, {"foundAtIndex"}),
                             in(SUCCESS, purple, {" 3 ", R"('\0')"}),
                             in(ERROR, comment, {ANSWER, R"(char str[] = {'Y','e','s','!','\0'};)", "type array[elements];"})}),
        .debugger    = true,
        .printValue  = "Found '!' at index: 3",
    });

    // C++CH7L6
    addCppLesson(chapter, {
        .title = "Std strings",
        .instruction = "std strings are objects: + joins them, and their length() method counts their characters.  In line 5, count the characters of fullName.",
        .code = R"(int main() {
   std::string firstName = "Julia";
   std::string lastName = "Lind";
   std::string fullName=firstName+" "+lastName;
   long int chars = «fullName.length();»
   std::cout << "Characters: " << chars << "\n";
})",
        .accepted    = {"fullName.size();", "fullName.length() ;"},
        .success     = kOtherWays,
        .hint        = {"Stuck? Break it down!", steps({"1. Use dot notation on fullName", "2. Call its length method"}) + ANSWER + " "},
        .words       = {{"(", ".", ";", ")"}},
        .colors      = join({in(INSTR, comment, {"line 5", "+"}), in(INSTR, blue, {"std strings", "length()"}), in(INSTR, project, {"fullName"}),
                             in(L1, pink, {"int"}), in(L2, blue, {"std", "string"}), in(L2, red, {R"("Julia")"}),
                             in(L3, blue, {"std", "string"}), in(L3, red, {R"("Lind")"}), in(L4, blue, {"std", "string"}),
                             in(L4, red, {R"(" ")"}), in(L5, pink, {"long", "int"}), in(L6, blue, {"std", "cout"}),
                             in(L6, red, {R"("Characters: ")", kNewLine}), in(L7, blue, {"std::cout", "std::endl"}),
                             in(L8, red, {kTracking}), in(L9, red, {kTracking}), in(SUCCESS, blue, {" strings"}),
                             in(ERROR, comment, {ANSWER, "length", "type array[elements];"})}),
        .debugger    = true,
        .printValue  = "Characters: 10",
    });

    // C++CH7L7
    addCppLesson(chapter, {
        .title = "Int to string",
        .instruction = "std::to_string turns an int into a string, and stoi does the reverse.  In line 5, turn str back into an int.",
        .code = R"(int main() {
   int i = 2017;
   std::string str;
   str = std::to_string(i); // int to string
   int x =«stoi(str);»// string to int
   std::cout << x << "\n";
})",
        .accepted    = {"stoi(str) ;", "stoi( str) ;", "stoi( str);"},
        .success     = kOtherWays,
        .hint        = {"Stuck? Break it down!", steps({"1. Call stoi", "2. Pass str to it"}) + ANSWER + " "},
        .words       = {{"(", ";", ")"}},
        .colors      = join({in(INSTR, comment, {"line 5"}), in(INSTR, blue, {"std::to_string", "stoi"}), in(L1, pink, {"int"}),
                             in(L2, pink, {"int"}), in(L2, purple, {"2017"}), in(L3, blue, {"std", "string"}),
                             in(L4, blue, {"std", "to_string"}), in(L4, comment, {"// int to string"}), in(L5, pink, {"int"}),
                             in(L5, comment, {"// string to int"}), in(L6, blue, {"std", "cout"}), in(L6, red, {kNewLine}),
                             in(L8, red, {kTracking}), in(SUCCESS, blue, {" strings"}), in(ERROR, comment, {ANSWER, "stoi"})}),
        .debugger    = true,
        .printValue  = "2017",
    });

    // C++CH7L8
    addCppLesson(chapter, {
        .title = "Lowercase string",
        .instruction = "std::transform with ::tolower turns every character of a string into lower case.  In line 5, print myStr.",
        .code = R"(int main() {
   std::string myStr = "Abc";
   std::transform(myStr.begin(), myStr.end(),
                  myStr.begin(), ::tolower);
   std::cout <<«myStr» << "\n";
   
})",
        .success     = "Next, let's find text inside a string with find().",
        .hint        = {"Stuck? Break it down!", steps({"1. The string is already lower case", "2. Print it"}) + ANSWER + " "},
        .words       = {{"(", ";", ")"}},
        .colors      = join({in(INSTR, comment, {"line 5"}), in(INSTR, blue, {"std::transform", "::tolower"}), in(INSTR, project, {" myStr"}),
                             in(L1, pink, {"int"}), in(L2, blue, {"std", "string"}), in(L2, red, {R"("Abc")"}),
                             in(L3, blue, {"std", "transform", "begin", "end"}), in(L4, blue, {"begin", "tolower"}),
                             in(L5, blue, {"std", "cout"}), in(L5, red, {kNewLine}), in(SUCCESS, blue, {"find()"}),
                             in(ERROR, comment, {ANSWER, "type array[elements];"})}),
        .debugger    = true,
        .printValue  = "abc",
    });

    // C++CH7L9
    addCppLesson(chapter, {
        .title = "Find strings in string",
        .instruction = "find returns the position of a text in a string, and with a while loop it can count how often the text occurs.  When nothing is found, find returns string::npos, a constant that stands for -1.  In line 5, keep looping while xpos has found something.",
        .code = R"(int main() {
   string str("ha ha ha");
   int count = 0;
   size_t xpos = str.find("ha");
   while(«xpos != string::npos») {
       count++;
       xpos = str.find("ha", xpos+1);
   }
   std::cout << count << "\n";
})",
        .accepted    = {BLANKLESS, "string::npos != xpos", "string::npos!=xpos", "xpos != std::string::npos", "xpos!=std::string::npos",
                        "std::string::npos != xpos", "std::string::npos!=xpos"},
        .success     = "find returns a size_t, an unsigned whole number made for sizes and positions.",
        .hint        = {"Stuck? Break it down!", steps({"1. find returns std::string::npos when nothing is found", "2. Keep looping while xpos is not string::npos"}) + ANSWER + " "},
        .words       = {{"!", "=", ":", ";"}},
        .colors      = join({in(INSTR, comment, {"line 5"}), in(INSTR, blue, {"find"}), in(INSTR, pink, {"while"}),
                             in(INSTR, blue, {"string::npos"}), in(INSTR, purple, {"-1"}), in(INSTR, project, {" xpos"}),
                             in(L1, pink, {"int"}), in(L2, blue, {"string"}), in(L2, red, {R"("ha ha ha")"}),
                             in(L2, pink, {"int", "bool", "true", "false"}), in(L3, pink, {"int"}), in(L3, purple, {"0"}),
                             in(L4, blue, {"size_t", "find"}), in(L4, red, {R"("ha")"}), in(L5, pink, {"while"}), in(L6, pink, {"if"}),
                             in(L7, blue, {"find"}), in(L7, red, {R"("ha")"}), in(L7, purple, {"1"}), in(L8, blue, {"std::cout"}),
                             in(L9, blue, {"std", "cout"}), in(L9, red, {kNewLine}), in(L10, red, {kTracking}),
                             in(SUCCESS, blue, {"size_t", "find"}), in(ERROR, comment, {ANSWER, "std::string::npos"})}),
        .debugger    = true,
        .printValue  = "3",
    });

    // C++CH7L10
    addCppLesson(chapter, {
        .title = "Search char in string",
        .instruction = "std::count counts the elements of a range that equal a value, such as the letters of a string.  In line 5, print the count n .",
        .code = R"(int main() {
   std::string s = "Believe in yourself!";
   size_t n = std::count( s.begin(), s.end(), 'e');
   std::cout << "Letter e count: ";
   «std::cout << n << "\n";»
})",
        .lines       = 7,
        .accepted    = {BLANKLESS, ANSWER, "std::cout << n;", "std::cout << n << std::endl;", R"(cout << n << "\n";)", "cout << n;",
                        "cout << n << endl;", R"(std::cout<<n<<"\n";)", "std::cout<<n;", "std::cout<<n<<std::endl;", R"(cout<<n<<"\n";)",
                        "cout<<n;", "cout<<n<<endl;"},
        .success     = "Tip: keep a library of code snippets like this one.  You will need them again.",
        .hint        = {"Stuck? Break it down!", steps({"1. Print n with cout"}) + ANSWER + " "},
        .words       = {{":", "<", R"(")", R"(\)", ";"}},
        .colors      = join({in(INSTR, comment, {"line 5"}), in(INSTR, blue, {"std::count"}), in(INSTR, project, {" n "}),
                             in(L1, pink, {"int"}), in(L2, blue, {"std", "string"}), in(L2, red, {R"("Believe in yourself!")"}),
                             in(L3, blue, {"size_t", "std", "count", "begin", "end"}), in(L3, purple, {"'e'"}),
                             in(L4, blue, {"std", "cout"}), in(L4, red, {R"("Letter e count: ")"}), in(L5, blue, {"std", "cout"}),
                             in(L5, red, {kNewLine}), in(L6, blue, {"std::cout", "std::endl"}), in(L7, red, {kTracking}),
                             in(SUCCESS, blue, {"code snippets"}), in(ERROR, comment, {ANSWER, "cout", "type array[elements];"})}),
        .debugger    = true,
        .printValue  = "Letter e count: 4",
        .search      = kSearch,
    });

    // C++CH7L11
    addCppLesson(chapter, {
        .title = "Counting strings in array",
        .instruction = "Let's count the three-letter words of the array: a for loop visits the words with x .  In line 4, complete the for loop.",
        .code = R"(int main() {
   std::string words[] = {"Cat","Frog","Bee"};
   int threeLetterWords = 0;
   for«(int x = 0; x < 3; x++)»{
       if (words[x].length() == 3) {
           threeLetterWords++;
       }
   }
   std::cout << threeLetterWords << "\n";
})",
        .accepted    = {ANSWER, "(int x = 0; x < 3; ++x)", "(int x = 0; x < 3; x += 1)", "(int x = 0; x < 3; x+=1)", "(int x = 0;x < 3;x++)",
                        "(int x = 0;x < 3;++x)", "(int x = 0;x < 3;x += 1)", "(int x = 0;x < 3;x+=1)", "(int x=0; x<3; x++)",
                        "(int x=0; x<3; ++x)", "(int x=0; x<3; x+=1)", "(int x=0;x<3;x++)", "(int x=0;x<3;++x)", "(int x=0;x<3;x+=1)",
                        "(int x = 0; x <= 2; x++)", "(int x = 0; x <= 2; ++x)", "(int x = 0; x <= 2; x += 1)", "(int x = 0; x <= 2; x+=1)",
                        "(int x = 0;x <= 2;x++)", "(int x = 0;x <= 2;++x)", "(int x = 0;x <= 2;x += 1)", "(int x = 0;x <= 2;x+=1)",
                        "(int x=0; x<=2; x++)", "(int x=0; x<=2; ++x)", "(int x=0; x<=2; x+=1)", "(int x=0;x<=2;x++)",
                        "(int x=0;x<=2;++x)", "(int x=0;x<=2;x+=1)"},
        .success     = "Great work: an array, a for loop and an if statement, all in one program.",
        .hint        = {"Stuck? Break it down!", steps({"1. A for loop has three parts: for(init, end value, increment)", "2. Start at index 0",
                                                        "3. End before 3", "4. Increment by one"})
                                                 + ANSWER + " \n PS: Other variations will also work such as \n (int x=0; x<=2; x+=1)"},
        .words       = {{"(", "=", "+", ";", ")"}},
        .colors      = join({in(INSTR, comment, {"line 4"}), in(INSTR, project, {" words ", " x "}), in(INSTR, pink, {"for loop"}),
                             in(L1, pink, {"int"}), in(L2, blue, {"std", "string"}), in(L2, red, {R"("Cat")", R"("Frog")", R"("Bee")"}),
                             in(L3, pink, {"int"}), in(L3, purple, {"0"}), in(L4, pink, {"for"}), in(L5, pink, {"if"}),
                             in(L5, blue, {"length"}), in(L5, purple, {"3"}), in(L9, blue, {"std", "cout"}), in(L9, red, {kNewLine}),
                             in(SUCCESS, blue, {"array"}), in(SUCCESS, pink, {"for loop"}),
                             in(ERROR, comment, {ANSWER, "for(init, end value, increment)", "(int x=0; x<=2; x+=1)"})}),
        .debugger    = true,
        .printValue  = "2",
        .search      = kSearch,
    });

    {   // C++CH7L12
        const LessonText success = "Awesome work.  Getting comfortable with loops will help you solve a lot of programming challenges in the future.";
        addCppLesson(chapter, {
            .title = "Use substring",
            .instruction = R"(You can use the substring method to reformat a string.  Let's say we have a number "123456" and we want to change it to "12 34 56" or "12 23 34 45 56".  In line 4, add the for loop to iterate through the string one character at a time.  Use the variable x to complete the for loop.  We already added the substring method in line 5, which starts at characer position x and has a length of 2.)",
            .code = R"(int main() {
   std::string a = "123456";
   std::string b;
   for («int x = 0; x < a.size() - 1; x += 2») {
       b += a.substr(x,2) + " "; // add space
   }
   std::cout << b << "\n";
})",
            .accepted    = {ANSWER, "int x = 0; x < a.size() - 1; x += 1", "int x = 0; x < a.size() - 1; x++", "int x = 0; x < a.size() - 1; ++x",
                            "int x = 0; x < 5; x += 2", "int x = 0; x < 5; x += 1", "int x = 0; x < 5; x++", "int x = 0; x < 5; ++x",
                            "int x = 0; x < a.size() - 1; x+=2", "int x = 0; x < a.size() - 1; x+=1", "int x = 0; x < 5; x+=1",
                            "int x = 0; x < 5; x+=2", "int x = 0;x < a.size() - 1;x += 2", "int x = 0;x < a.size() - 1;x += 1",
                            "int x = 0;x < a.size() - 1;x++", "int x = 0;x < a.size() - 1;++x", "int x = 0;x < 5;x += 2",
                            "int x = 0;x < 5;x += 1", "int x = 0;x < 5;x++", "int x = 0;x < 5;++x", "int x=0; x<a.size()-1; x+=2",
                            "int x=0; x<a.size()-1; x+=1", "int x=0; x<a.size()-1; x++", "int x=0; x<a.size()-1; ++x", "int x=0; x<5; x+=2",
                            "int x=0; x<5; x+=1", "int x=0; x<5; x++", "int x=0; x<5; ++x", "int x=0;x<a.size()-1;x+=2",
                            "int x=0;x<a.size()-1;x+=1", "int x=0;x<a.size()-1;x++", "int x=0;x<a.size()-1;++x", "int x=0;x<5;x+=2",
                            "int x=0;x<5;x+=1", "int x=0;x<5;x++", "int x=0;x<5;++x"},
            .success     = success,
            .hint        = {"Stuck? Break it down!", steps({"A for loop looks like this.", "for(init, end value, increment)",
                                                            "Start counting from zero so init is int x = 0",
                                                            "To get the end position use the size method on a and subtract 1 since we start counting from 0 so end position is a.size() - 1.",
                                                            R"(For "12 34 56" increment x by 2.)", ANSWER, R"(For "12 23 34 45 56" increment x by 1.)"})
                                                     + "int x = 0; x < a.size() - 1; x += 1"},
            .words       = {{"=", ";", "<", "-", ".", "+"}},
            .colors      = join({in(INSTR, project, {"string a", " x "}), in(INSTR, comment, {"In line 4"}),
                                 in(INSTR, red, {R"("123456")", R"("12 34 56")", R"("12 23 34 45 56")"}), in(INSTR, pink, {"for loop"}),
                                 in(INSTR, project, {" words "}), in(L1, pink, {"int"}), in(L2, blue, {"std", "string"}),
                                 in(L2, red, {R"("123456")"}), in(L3, blue, {"std", "string"}), in(L4, pink, {"for"}),
                                 in(L5, blue, {"substr"}), in(L5, purple, {"2"}), in(L5, comment, {"// add space"}), in(L5, red, {R"(" ")"}),
                                 in(L7, blue, {"std", "cout"}), in(L7, red, {kNewLine}), in(SUCCESS, pink, {"'int'"}),
                                 in(ERROR, comment, {ANSWER, "for(init, end value, increment)", "int x = 0; x < a.size() - 1; x += 1",
                                                     "int x = 0", "a.size() - 1", "(init = int x = 0)"}),
                                 in(ERROR, red, {R"("12 34 56")", R"("12 23 34 45 56")"})}),
            .debugger    = true,
            .blankDebugTexts = true,
            .outputs     = {{"x += 2", "12 34 56", success}, {"x+=1", "12 23 34 45 56", success}, {"x++", "12 23 34 45 56", success},
                            {"++x", "12 23 34 45 56", success}, {"x+=2", "12 34 56", success}, {"x += 1", "12 23 34 45 56", success}},
            .search      = kSearch,
        });
    }

    // C++CH7C1
    addCppChallenge(chapter, {
        .instruction = "In line 4, add one of the emotions to the note.",
        .code = R"(int main() {
   std::string note = "I am feeling ";
   std::string emotions[]={"great","super","tired"};
   «note += emotions[0];»
   std::cout << note << "\n";
})",
        .accepted    = {BLANKLESS, "note += emotions[1];", "note += emotions[2];", "note+=emotions[1];", "note+=emotions[2];"},
        .success     = kOtherWays,
        .hint        = {"Stuck? Break it down!", "1. Expand the string \n note += \n 2. Access item from array \n emotions[index]"},
        .words       = {{"[", "+", "=", ";", "]"}},
        .colors      = join({in(INSTR, project, {"emotions", "note"}), in(L2, red, {R"("I am feeling ")"}), in(L1, pink, {"int"}),
                             in(L2, blue, {"std", "string"}), in(L3, red, {R"("great")", R"("super")", R"("tired")"}),
                             in(L3, blue, {"std", "string"}), in(L3, red, {R"("Lind")"}), in(L4, blue, {"std", "string"}),
                             in(L4, red, {R"(" ")"}), in(L5, pink, {"long", "int", "if"}), in(L6, blue, {"strcat"}),
                             in(L6, red, {R"("Characters: ")"}), in(L8, pink, {"else"}), in(L5, blue, {"std", "cout"}),
                             in(L5, red, {R"("Found '!' at index: ")", kNewLine}), in(SUCCESS, project, {"buffer"}),
                             in(SUCCESS, pink, {"'unsigned long'", "'int'"}), in(ERROR, comment, {ANSWER, "emotions[index]", "note +="})}),
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"0", "I am feeling great", "You are doing great too!"}, {"1", "I am feeling super", "Awesome!"},
                        {"2", "I am feeling tired", "Please stand up and do 10 jumping jacks.  Ok... now let's continue."}},
    });

    // C++CH7C2
    addCppChallenge(chapter, {
        .instruction = R"(Create a C-String called str and initialize it with the string "C++".)",
        .code = "int main() {\n   «char str[4] = {'C','+','+','" + kNul + "'};»\n   puts(str);\n}",
        .accepted    = {ANSWER, "char str[4]={'C','+','+','" + kNul + "'};", R"(char str[] = "C++";)", R"(char str[]="C++";)",
                        R"(char str[4] = "C++";)", R"(char str[4]="C++";)"},
        .success     = "Great!  Let's keep going",
        .hint        = {"Stuck? Break it down!", "Review lesson 1 if you have problems with this challenge."},
        .words       = {{"[", "=", R"(")", "+", ";", "]"}},
        .colors      = join({in(INSTR, blue, {"C-String"}), in(INSTR, red, {R"("C++")"}), kLessonOneLines, in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "C++",
    });

    // C++CH7C3
    addCppChallenge(chapter, {
        .instruction = R"(In line 4, use find to complete the if statement so that "found!" is printed when s2 occurs in s1.)",
        .code = R"(int main() {
   std::string s1 = "Learning C++ is fun!";
   std::string s2 = "fun";
   if«(s1.find(s2) != std::string::npos)»{
       std::cout << "found!" << "\n";
   } else {
       std::cout << "not found!" << "\n";
   }
})",
        .accepted    = {BLANKLESS, "(s1.find(s2) != string::npos)", "(s1.find(s2)!=string::npos)", "( s1.find(s2) != std::string::npos )",
                        "( s1.find(s2) != string::npos )", "( std::string::npos != s1.find(s2) )", "(std::string::npos != s1.find(s2))",
                        "(string::npos != s1.find(s2))", "(string::npos!=s1.find(s2))", "(std::string::npos!=s1.find(s2))"},
        .success     = "Agreed: learning C++ in small lessons is fun!",
        .hint        = {"Stuck? Break it down!", "1. An if statement looks like this: If (condition) { \n 2. s1.find(s2) looks for s2 in s1 \n 3. find returns std::string::npos when nothing is found \n 4. So compare the result with std::string::npos"},
        .words       = {{"(", ".", "!", "=", ":", ")"}},
        .colors      = join({in(INSTR, comment, {"In line 4"}), in(INSTR, blue, {"find"}), in(INSTR, project, {" s2 "}),
                             in(INSTR, red, {R"("found!")"}), in(INSTR, pink, {"if"}), in(L1, pink, {"int"}),
                             in(L2, blue, {"std", "string"}), in(L2, red, {R"("Learning C++ is fun!")"}), in(L3, blue, {"std", "string"}),
                             in(L3, red, {R"("fun")"}), in(L4, pink, {"if"}), in(L4, blue, {"find", "npos"}),
                             in(L5, blue, {"std", "cout"}), in(L5, red, {R"("found!")", kNewLine}), in(L6, pink, {"else"}),
                             in(L7, blue, {"std", "cout"}), in(L7, red, {R"("not found!")", kNewLine}),
                             in(L8, blue, {"std::cout", "std::endl"}), in(L9, red, {kTracking}),
                             in(ERROR, comment, {ANSWER, "s1.find(s2)", "std::string::npos", "If (condition) {"})}),
        .debugger    = true,
        .printValue  = "found!",
    });

    // C++CH7C4
    addCppChallenge(chapter, {
        .instruction = "In line 3, declare a char called firstChar holding the first character of greeting.",
        .code = R"(int main() {
   std::string greeting = "Guten Tag";
   «char firstChar = greeting[0];»
   std::cout << firstChar << "\n";
})",
        .accepted    = {"char firstChar=greeting[0];", "char firstChar = greeting[0] ;"},
        .success     = "The chapter is almost done.  One more challenge!",
        .hint        = {"Stuck? Break it down!", "1. firstChar is of type char \n 2. Counting starts at index 0"},
        .words       = {{"[", "=", ";", "]"}},
        .colors      = join({in(INSTR, comment, {"In line 3"}), in(INSTR, project, {"firstChar", "greeting"}), in(L1, pink, {"int"}),
                             in(L2, blue, {"std", "string"}), in(L2, red, {R"("Guten Tag")"}), in(L2, pink, {"if", "int", "bool", "true"}),
                             in(L3, pink, {"char"}), in(L3, purple, {"0"}), in(L4, blue, {"std", "cout"}), in(L4, red, {kNewLine}),
                             in(L5, blue, {"std", "cout"}), in(L5, red, {R"("found!")", kNewLine}), in(L6, pink, {"else"}),
                             in(L7, blue, {"std", "cout"}), in(L7, red, {R"("not found!")", kNewLine}),
                             in(L8, blue, {"std::cout", "std::endl"}), in(L9, red, {kTracking}), in(ERROR, comment, {ANSWER}),
                             in(ERROR, project, {"firstChar"}), in(ERROR, pink, {"char"})}),
        .debugger    = true,
        .printValue  = "G",
    });

    // C++CH7C5
    addCppChallenge(chapter, {
        .instruction = "Jon's score sits at the same index of scores as his name in players.  In line 6, add it to playerScore.",
        .code = R"(int main() {
   std::string players[] = {"Jon","Kim","Ben"};
   int scores[] = {90,76,80};
   std::string playerScore;
   playerScore += players[0] + "'s score is: ";
   playerScore +=«std::to_string(scores[0]);»
   std::cout << playerScore <<"\n";
})",
        .accepted    = {"to_string(scores[0]);"},
        .success     = "You finished the chapter!  Keep reading and writing code: that is the key to getting better.",
        .hint        = {"Stuck? Break it down!", "1. Arrays start at index 0 \n 2. Convert the integer with std::to_string()"},
        .words       = {{"[", "(", "_", ";", ")", "]"}},
        .colors      = join({in(INSTR, comment, {"In line 6"}), in(INSTR, project, {"playerScore", "scores"}),
                             in(INSTR, blue, {"std::to_string()"}), in(L1, pink, {"int"}), in(L2, blue, {"std", "string"}),
                             in(L2, red, {R"("Jon")", R"("Kim")", R"("Ben")"}), in(L2, pink, {"if", "bool", "true", "false"}),
                             in(L3, blue, {"int"}), in(L3, purple, {"90", "76", "80"}), in(L4, blue, {"std", "string"}),
                             in(L5, purple, {"0"}), in(L5, red, {R"("'s score is: ")"}), in(L6, blue, {"std", "to_string"}),
                             in(L7, blue, {"std", "cout"}), in(L7, red, {kNewLine}), in(L8, blue, {"std::cout", "std::endl"}),
                             in(L9, red, {kTracking}), in(ERROR, comment, {ANSWER}), in(ERROR, project, {"firstChar"}),
                             in(ERROR, pink, {"char"}), in(ERROR, comment, {"std::to_string()"})}),
        .debugger    = true,
        .printValue  = "Jon's score is: 90",
    });
}
// clang-format on
