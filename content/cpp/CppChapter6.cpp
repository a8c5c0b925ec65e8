// C++ course, chapter 6: addresses and pointers, dereferencing, pointer types, new and delete, dangling
// pointers and nullptr, dynamic arrays, and arrays decaying into pointers.
#include "content/cpp/CppCourse.hpp"
#include "content/cpp/CppLesson.hpp"

using namespace content;
using namespace content::cpp;
using namespace content::form;

namespace {

const LessonText kFreeYourself =
    "Memory you request yourself has to be freed by yourself too, or the program leaks it.";
const std::vector<ColorRule> kMain = in(L1, pink, {"int"});
// A print line with a comment, as lines 3 to 6 of the early lessons have them.
std::vector<ColorRule> commentedPrint(CustomStringSection line, const LessonText& comment_,
                                      bool withSeparator) {
    return join({in(line, comment, {comment_}),
                 withSeparator ? in(line, red, {R"(", ")"}) : std::vector<ColorRule>{},
                 in(line, blue, {"std::cout"})});
}
const std::vector<ColorRule> kNewLinePrint =
    join({in(L6, comment, {"// value"}), in(L6, blue, {"std::cout"}), in(L6, red, {R"("\n")"})});

} // namespace

// clang-format off
void buildCppChapter6(Chapter& chapter) {
    // C++CH6L1
    addCppLesson(chapter, {
        .title = "Address-of operator &",
        .instruction = "Think of a variable like a box.  The moment you create a box, you also receive a tracking number to keep track of the box.  In line 6, use the address-of operator & to print the tracking number (i.e. the memory address where the box is put in memory) of the monthNames array.",
        .code = R"(int main() {
   std::string monthNames[12] =
       {"Jan","Feb","Mar","Apr","May","Jun","Jul",
       "Aug","Sep","Oct","Nov","Dec"};
   std::cout << "Tracking number: ";
   std::cout << «&monthNames»<< std::endl;
})",
        .accepted    = {BLANKLESS},
        .success     = "Once you have the tracking number, you can start using that instead of always having to pass the entire box around.  This can be a lot more efficient.",
        .hint        = {"Stuck? Break it down!", "Just use the address-off operator followed by the name of the variable. \n " + ANSWER},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .words       = {{"&", "="}},
        .colors      = join({in(INSTR, comment, {"&", "address-of operator"}), in(INSTR, project, {"monthNames"}), kMain,
                             in(L2, blue, {"std", "string"}),
                             in(L3, red, {R"("Jan")", R"("Feb")", R"("Mar")", R"("Apr")", R"("May")", R"("Jun")", R"("Jul")"}),
                             in(L4, red, {R"(",")", R"("Aug")", R"("Sep")", R"("Oct")", R"("Nov")", R"("Dec")"}),
                             in(L5, blue, {"std::cout"}), in(L5, red, {R"("Tracking number: ")"}), in(L6, blue, {"std::cout", "std::endl"}),
                             in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "Tracking number: 0x7fff5fbff670",
    });

    // C++CH6L2
    addCppLesson(chapter, {
        .title = "Deference operator *",
        .instruction = "The dereference operator * looks inside the box at an address, so *&myInt prints the same value as myInt.  In line 5, print age that way.",
        .code = R"(int main() {
   int age = 40;
   std::cout << age << ", "; // print value
   std::cout << &age << ", "; // memory address
   std::cout << «*&age»<< "\n";
})",
        .accepted    = {BLANKLESS},
        .success     = "& gives the tracking number of a box and *& looks inside the box at that number.  Next: pointers, variables made for tracking numbers.",
        .hint        = {"Stuck? Break it down!", "With the address of a variable, the dereference operator * gets the value stored there. \n " + ANSWER},
        .words       = {{"*", "&"}},
        .colors      = join({in(INSTR, comment, {" myInt", "*&myInt", "age", " * "}), kMain, in(L2, pink, {"int"}), in(L2, purple, {"40"}),
                             commentedPrint(L3, "// print value", true), commentedPrint(L4, "// memory address", true),
                             in(L5, blue, {"std::cout"}), in(L5, red, {R"("\n")"}), in(SUCCESS, comment, {"&", "*", "*&"}),
                             in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "40, 0x7fff5fbff79c, 40",
    });

    // C++CH6L3
    addCppLesson(chapter, {
        .title = "My first pointer",
        .instruction = "A pointer is a variable that stores a tracking number, and it is declared with a * before its name.  Give *myPtr the address of myInt in line 3.",
        .code = R"(int main() {
   int myInt = 10;
   int *myPtr = «&myInt;»
   std::cout << myInt << ", "; // print value
   std::cout << myPtr << ", "; // memory address
   std::cout << *myPtr << "\n"; // value
})",
        .accepted    = {BLANKLESS},
        .success     = "Remember: a pointer is declared with *, and & gives it the address of another variable.",
        .hint        = {"Stuck? Break it down!", "Use the address-of operator & to give myPtr the address of myInt. \n " + ANSWER},
        .words       = {{"&", ";"}},
        .colors      = join({in(INSTR, comment, {" myInt ", " myInt", " * "}), kMain, in(L2, pink, {"int"}), in(L2, purple, {"10"}),
                             in(L3, pink, {"int"}), commentedPrint(L4, "// print value", true),
                             commentedPrint(L5, "// memory address", false), kNewLinePrint, in(SUCCESS, comment, {"&", "*"}),
                             in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "10, 0x7fff5fbff79c, 10",
    });

    // C++CH6L4
    addCppLesson(chapter, {
        .title = "Pointer syntax",
        .instruction = "Now write the whole declaration: in line 3, declare a pointer called myPtr that holds the address of myNumber.",
        .code = R"(int main() {
   int myNumber = 108;
   «int *myPtr = &myNumber;»
   std::cout << myNumber << ", "; // print value
   std::cout << myPtr << ", "; // memory address
   std::cout << *myPtr << "\n"; // value
})",
        .accepted    = {BLANKLESS, ANSWER, "int * myPtr = &myNumber;", "int* myPtr = &myNumber;", "int *myPtr=&myNumber;",
                        "int * myPtr=&myNumber;", "int* myPtr=&myNumber;", "int*myPtr=&myNumber;"},
        .success     = "int *myPtr, int* myPtr and int * myPtr are all valid.  The * next to the name reads best: it is myPtr that is the pointer.",
        .hint        = {"Stuck? Break it down!", steps({"1. The pointer has the type of the variable it points to", "2. A * before the name makes it a pointer", "3. & gets the address"}) + ANSWER},
        .words       = {{"*", "=", "&", ";"}},
        .colors      = join({in(INSTR, project, {" myPtr"}), kMain, in(L2, pink, {"int"}), in(L2, purple, {"108"}),
                             commentedPrint(L4, "// print value", true), commentedPrint(L5, "// memory address", false), kNewLinePrint,
                             in(SUCCESS, comment, {"int* myPtr", "int * myPtr", "int *myPtr"}), in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "108, 0x7fff5fbff79c, 108",
    });

    // C++CH6L5
    addCppLesson(chapter, {
        .title = "Pointer types",
        .instruction = "A pointer's type must match the type of the variable it points to, so the program knows what the box holds.  In line 5, create a pointer dPtr for dValue.",
        .code = R"(int main() {
   int iValue = 3;
   int *iPtr = &iValue;
   double dValue = 9.1;
   «double *dPtr = &dValue;»
})",
        .lines       = 7,
        .accepted    = {BLANKLESS, "double *dPtr=&dValue;", "double*dPtr = &dValue;", "double* dPtr = &dValue;", "double * dPtr = &dValue;",
                        "double* dPtr=&dValue;", "double * dPtr=&dValue;"},
        .success     = "A pointer has the type of what it points to: int * for an int, double * for a double.  Let's practise some more.",
        .hint        = {"Stuck? Break it down!", steps({"1. Declare the type double", "2. A * makes it a pointer", "3. Name it dPtr", "4. Assign the address of dValue with &"}) + ANSWER},
        .words       = {{"*", "=", "&", ";"}},
        .colors      = join({in(INSTR, project, {" dPtr ", " dValue"}), kMain, in(L2, pink, {"int"}), in(L2, purple, {"3"}),
                             in(L3, pink, {"int"}), in(L4, pink, {"double"}), in(L4, purple, {"9.1"}), in(ERROR, comment, {ANSWER})}),
    });

    // C++CH6L6
    addCppLesson(chapter, {
        .title = "Deferencing pointers",
        .instruction = "The operator * in front of a pointer looks inside the box it points to.  In line 5, print the value that xPtr points to.",
        .code = R"(int main() {
   int x = 3;
   int *xPtr = &x;
   std::cout << "The value inside the box = ";
   std::cout << «*xPtr» << "\n";
})",
        .accepted    = {BLANKLESS},
        .success     = "A pointer can do more than read: it can also change the variable it points to.",
        .hint        = {"Stuck? Break it down!", "The operator * reaches the value that the pointer points to. \n " + ANSWER},
        .words       = {{"*", ";"}},
        .colors      = join({in(INSTR, comment, {" * "}), kMain, in(L2, pink, {"int"}), in(L2, purple, {"3"}), in(L3, pink, {"int"}),
                             in(L4, red, {R"("The value inside the box = ")"}), in(L4, blue, {"std::cout"}),
                             in(L5, blue, {"std::cout"}), in(L5, red, {R"("\n")"}), in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "The value inside the box = 3",
    });

    // C++CH6L7
    addCppLesson(chapter, {
        .title = "Pointers and values",
        .instruction = "The operator * also writes through a pointer.  In line 5, assign 6 through *iPtr, and think about what happens to i.",
        .code = R"(int main() {
   int i = 3;
   int *iPtr = &i;
   std::cout << i << ", ";
   «*iPtr = 6;»
   std::cout << i << "\n";
})",
        .accepted    = {BLANKLESS},
        .success     = "iPtr points at box i, so changing *iPtr changes what box i holds: now i = 6.",
        .hint        = {"Stuck? Break it down!", "Use * to change the value that the pointer points at. \n " + ANSWER},
        .words       = {{"*", "=", ";"}},
        .colors      = join({in(INSTR, comment, {" * "}), kMain, in(L2, pink, {"int"}), in(L2, purple, {"3"}), in(L3, pink, {"int"}),
                             in(L4, red, {R"(", ")"}), in(L4, blue, {"std::cout"}), in(L6, blue, {"std::cout"}), in(L6, red, {R"("\n")"}),
                             in(SUCCESS, comment, {"box i", "*iPtr", "i = 6"}), in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "3, 6",
    });

    // C++CH6L8
    addCppLesson(chapter, {
        .title = "Dynamic memory new",
        .instruction = "Dynamic memory is allocated on the heap and managed by the programmer through pointers.  new followed by a type requests memory of that type while the program runs.  Request memory for *pValue in line 2.",
        .code = R"(int main() {
   int *pValue =  «new int;»
   *pValue = 99; // Store value
   std::cout << *pValue << ", "; // print value
})",
        .success     = kFreeYourself,
        .hint        = {"Stuck? Break it down!", "*pValue is of type int , so new int gives it the address of memory for an int. \n " + ANSWER},
        .words       = {{"*", "=", ";"}},
        .colors      = join({in(INSTR, pink, {"new", "type"}), in(INSTR, comment, {"heap", "pointers", "*pValue"}), kMain,
                             in(L2, pink, {"int"}), in(L3, comment, {"// Store value"}), in(L3, purple, {"99"}),
                             commentedPrint(L4, "// print value", true), in(ERROR, comment, {ANSWER, "*pValue"}),
                             in(ERROR, pink, {" int ", "new int"})}),
        .debugger    = true,
        .printValue  = "99, ",
    });

    // C++CH6L9
    addCppLesson(chapter, {
        .title = "Dynamic memory delete",
        .instruction = "The delete operator frees the memory of pointers at any time.  In line 5, delete pValue.",
        .code = R"(int main() {
   int *pValue = new int; // Request memory 
   *pValue = 99; // Store value
   std::cout << *pValue << ", "; // print value
   «delete pValue;»
})",
        .success     = "pValue holds the address of the memory, so delete pValue frees it.",
        .hint        = {"Stuck? Break it down!", "Deleting pValue frees its memory for other use. \n " + ANSWER},
        .words       = {{"*", "=", ";"}},
        .colors      = join({in(INSTR, pink, {"delete"}), in(INSTR, project, {"pointers", "pValue"}), kMain, in(L2, pink, {"int"}),
                             in(L2, comment, {"// Request memory"}), in(L3, comment, {"// Store value"}), in(L3, purple, {"99"}),
                             commentedPrint(L4, "// print value", true), in(SUCCESS, project, {"pValue"}), in(SUCCESS, pink, {"delete"}),
                             in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "99, ",
    });

    // C++CH6L10
    addCppLesson(chapter, {
        .title = "Dangling pointers",
        .instruction = "A pointer to memory that has been freed is a dangling pointer.  After deleting memory, set every pointer to it to nullptr.  In line 7, make ptr2 a nullptr.",
        .code = R"(int main() {
   int *ptr1 = new int; // allocate memory
   int *ptr2 = ptr1; // another pointer
   *ptr1 = 5; // store value
   delete ptr1; // free memory
   ptr1 = nullptr; // dangling pointer = nullptr
   «ptr2 = nullptr;»
})",
        .accepted    = {BLANKLESS},
        .success     = "A null pointer says that no memory has been allocated to this pointer.",
        .hint        = {"Stuck? Break it down!", "The memory was freed, so ptr2 must be set to nullptr as well. \n " + ANSWER},
        .words       = {{"=", ";"}},
        .colors      = join({in(INSTR, pink, {"nullptr"}), in(INSTR, project, {"pointers", "ptr2"}), kMain, in(L2, pink, {"new", "int"}),
                             in(L2, comment, {"// allocate memory"}), in(L3, pink, {"int"}), in(L3, comment, {"// another pointer"}),
                             in(L4, purple, {"5"}), in(L4, comment, {"// store value"}), in(L5, comment, {"// free memory"}),
                             in(L5, pink, {"delete"}), in(L6, comment, {"// dangling pointer = nullptr"}),
                             in(SUCCESS, comment, {"no memory has been allocated to this pointer"}), in(ERROR, comment, {ANSWER})}),
    });

    // C++CH6L11
    addCppLesson(chapter, {
        .title = "Dynamic arrays",
        .instruction = "Dynamic memory can also be used with arrays.  The syntax to delete a pointer to an array is delete []. In line 8, delete the arrPtr.",
        .code = R"(int main() {
   int *arrPtr = nullptr; // Start as nullptr
   int size = 10; // Size needed for array
   arrPtr = new int[size]; // Allocate memory
   for (int x=0; x<size; x++) {
       arrPtr[x] = x*x;} // Initialize elements
   std::cout << arrPtr[9] << "\n";
   «delete [] arrPtr;»
   arrPtr = nullptr; // Set back to nullptr
})",
        .accepted    = {BLANKLESS, "delete[] arrPtr;"},
        .success     = "Dynamic pointers come in handy anytime you receive input from the user.  If users add text, images, audio, lists, files, etc., it is often impossible to know before how much memory you will need.",
        .hint        = {"Stuck? Break it down!", "To delete a pointer to an array use the syntax below. \n " + ANSWER},
        .words       = {{"[", "]", ";"}},
        .colors      = join({in(INSTR, comment, {"delete []"}), kMain, in(L2, pink, {"nullptr", "int"}),
                             in(L2, comment, {"// Start as nullptr"}), in(L3, pink, {"int"}), in(L3, purple, {"10"}),
                             in(L3, comment, {"// Size needed for array"}), in(L4, pink, {"new int"}),
                             in(L4, comment, {"// Allocate memory"}), in(L5, pink, {"for", "int"}), in(L5, purple, {"0"}),
                             in(L6, comment, {"// Initialize elements"}), in(L7, blue, {"std::cout"}), in(L7, red, {R"("\n")"}),
                             in(L9, comment, {"// Set back to nullptr"}), in(L9, pink, {"nullptr"}), in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "81",
    });

    // C++CH6L12
    addCppLesson(chapter, {
        .title = "Pointers and arrays",
        .instruction = "The memory address of an array is the address of its first element.  In line 4, print the address of the first element of arr.",
        .code = R"(int main() {
   int arr[5] = {10,9,8,7,6};;
   std::cout << &arr << ", ";
   std::cout <<  «&arr[0]»<< "\n";
})",
        .accepted    = {BLANKLESS},
        .success     = "Both addresses are the same, so a pointer to arr points at arr[0].  Why that matters comes next.",
        .hint        = {"Stuck? Break it down!", steps({"1. & gets the address", "2. An array starts at index 0"}) + ANSWER},
        .words       = {{"[", "&", "]"}},
        .colors      = join({in(INSTR, project, {"arr"}), kMain, in(L2, pink, {"int"}), in(L2, purple, {"10", "9", "8", "7", "6", "5"}),
                             in(L3, red, {R"(", ")"}), in(L3, blue, {"std::cout"}), in(L4, blue, {"std::cout"}), in(L4, red, {R"("\n")"}),
                             in(SUCCESS, project, {" arr ", "arr[0]"}), in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "0x7fff5fbff780, 0x7fff5fbff780",
    });

    // C++CH6L13
    addCppLesson(chapter, {
        .title = "Arrays decay into pointers",
        .instruction = "An array decays into a pointer to its first element, of type int*.  That is why line 3 can point *arrPtr at myArray.  In line 5, dereference myArray and guess the value.",
        .code = R"(int main() {
   int myArray[5] = {10,9,8,7,6};
   int *arrPtr = myArray; // array pointer
   std::cout << myArray[0] << ", "; // 1st item
   std::cout <<«*myArray»<< ", ";
   std::cout << *arrPtr << ", "; // deference
   std::cout << arrPtr[0] << "\n"; // 1st item
})",
        .accepted    = {BLANKLESS},
        .success     = "*myArray prints the first item because the array decays into a pointer to it.  Why does this matter?  A fixed array knows its size, but a pointer to it does not, so sizeof often fails on an array passed to a function.",
        .hint        = {"Stuck? Break it down!", "Use the deference operator * for the array. \n *myArray"},
        .words       = {{"*", ";"}},
        .colors      = join({in(INSTR, project, {"*arrPtr", "myArray"}), in(INSTR, blue, {"int*"}), kMain, in(L2, pink, {"int"}),
                             in(L2, purple, {"10", "9", "8", "7", "6", "5"}), in(L3, pink, {"int"}), in(L3, comment, {"// array pointer"}),
                             in(L4, red, {R"(", ")"}), in(L4, comment, {"// 1st item"}), in(L4, purple, {"0"}), in(L4, blue, {"std::cout"}),
                             in(L5, blue, {"std::cout"}), in(L5, red, {R"(", ")"}), in(L6, comment, {"// deference"}),
                             in(L6, blue, {"std::cout"}), in(L6, red, {R"(", ")"}), in(L7, comment, {"// 1st item"}),
                             in(L7, purple, {"0"}), in(L7, blue, {"std::cout"}), in(L7, red, {R"("\n")"}),
                             in(SUCCESS, comment, {"Why does this matter?"}), in(SUCCESS, pink, {"sizeof"}),
                             in(SUCCESS, project, {"*myArray"}), in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "10, 10, 10, 10",
    });

    // C++CH6C1
    addCppChallenge(chapter, {
        .instruction = "Create a pointer vPtr that points at v.",
        .code = R"(int main() {
   float v = 101.08;
   «float *vPtr = &v;»)",
        .accepted    = {BLANKLESS, "float * vPtr = &v;", "float* vPtr = &v;", "float * vPtr=&v;", "float *vPtr=&v;", "float* vPtr=&v;"},
        .success     = "Nicely done.  On to the next challenge.",
        .hint        = {"Stuck? Break it down!", "1. Use the same type as v \n 2. A * makes it a pointer \n 3. Point it at the address of v with the address-of operator \n 4. End with a semicolon"},
        .words       = {{"*", "=", "&", ";"}},
        .colors      = join({in(INSTR, project, {" vPtr ", " v"}), kMain, in(L2, pink, {"float"}), in(L2, purple, {"101.08"})}),
        .printValue  = "10, 0x7fff5fbff79c, 10",
    });

    // C++CH6C2
    addCppChallenge(chapter, {
        .instruction = "In line 4, print the value that vPtr is pointing at.",
        .code = R"(int main() {
   float v = 101.08;
   float *vPtr = &v;
«std::cout << *vPtr;»
})",
        .accepted    = {"std::cout<<*vPtr;", "cout << *vPtr;", "cout<<*vPtr;", "std::cout << *vPtr << std::endl;",
                        "std::cout<<*vPtr<<std::endl;", "cout << *vPtr << endl;", "cout<<*vPtr<<endl;",
                        R"(std::cout << *vPtr << "\n";)", R"(std::cout<<*vPtr<<"\n";)", R"(cout << *vPtr << "\n";)",
                        R"(cout<<*vPtr<<"\n";)"},
        .success     = "That's it!  Onwards.  :-)",
        .hint        = {"Stuck? Break it down!", "1. Use cout to print \n 2. Use the deference operator * to print the value instead of the memory address of the pointer."},
        .words       = {{":", "<", "*", R"(")", R"(\)", ";"}},
        .colors      = join({in(INSTR, project, {" vPtr "}), kMain, in(L2, pink, {"float"}), in(L2, purple, {"101.08"}),
                             in(L3, pink, {"float"})}),
        .debugger    = true,
        .printValue  = "101.08",
    });

    // C++CH6C3
    addCppChallenge(chapter, {
        .instruction = "In line 6, set the value that v1Ptr points at to twice the value that v2Ptr points at.",
        .code = R"(int main() {
   int value1 = 3;
   int value2 = 6;
   int *v1Ptr = &value1;
   int *v2Ptr = &value2;
   «*v1Ptr = *v2Ptr * 2;»
   std::cout << value1 << "\n";
})",
        .accepted    = {BLANKLESS, "*v1Ptr=*v2Ptr * 2;", "*v1Ptr = *v2Ptr*2;", "*v1Ptr=2 * *v2Ptr;", "*v1Ptr=2**v2Ptr;", "*v1Ptr = 2**v2Ptr;",
                        "*v1Ptr = 2 * *v2Ptr;"},
        .success     = "Super!  Since *v2Ptr = 6, 6 * 2 = 12",
        .hint        = {"Stuck? Break it down!", "1. Dereference both pointers \n 2. Multiply the value of v2Ptr by 2"},
        .words       = {{"1", "2", "*", "=", ";"}},
        .colors      = join({kMain, in(L2, pink, {"int"}), in(L2, purple, {"3"}), in(L3, pink, {"int"}), in(L3, purple, {"6"}),
                             in(L4, pink, {"int"}), in(L5, pink, {"int"}), in(L7, blue, {"std::cout"}), in(L7, red, {R"("\n")"})}),
        .debugger    = true,
        .printValue  = "12",
    });

    // C++CH6C4
    addCppChallenge(chapter, {
        .instruction = "Request memory for a new pointer called tempPtr of type double.",
        .code = R"(int main() {
   «double *tempPtr = new double;»
   *pValue = 99; // Store value
   std::cout << *pValue << ", "; // print value
})",
        .lines       = 2,
        .accepted    = {"double *tempPtr=new double;", "double * tempPtr = new double;", "double * tempPtr=new double;",
                        "double* tempPtr = new double;", "double* tempPtr=new double;", "double*tempPtr = new double;",
                        "double*tempPtr=new double;"},
        .success     = "Done.  Next, store a value in the new memory.",
        .hint        = {"Stuck? Break it down!", "1. Declare the type \n 2. A * declares a pointer \n 3. new requests memory \n 4. State the type of memory you need"},
        .words       = {{"*", "=", ";"}},
        .colors      = join({kMain, in(L3, comment, {"// Store value"}), in(L3, purple, {"99"}),
                             commentedPrint(L4, "// print value", true)}),
    });

    // C++CH6C5
    addCppChallenge(chapter, {
        .instruction = "Store 65.9 in the memory that tempPtr points at.",
        .code = R"(int main() {
   double *tempPtr = new double;
   «*tempPtr = 65.9;»
   std::cout << *pValue << ", "; // print value
})",
        .lines       = 3,
        .accepted    = {BLANKLESS},
        .success     = kFreeYourself,
        .hint        = {"Stuck? Break it down!", "Use dereferencing to reach the value that the pointer points at."},
        .words       = {{"*", "=", ".", ";"}},
        .colors      = join({kMain, in(L2, pink, {"double", "new double"}), commentedPrint(L4, "// print value", true)}),
    });

    // C++CH6C6
    addCppChallenge(chapter, {
        .instruction = "In line 5, delete the pointer to free its memory.",
        .code = R"(int main() {
   double *tempPtr = new double;
   *tempPtr = 65.9;
   std::cout << *tempPtr << ", ";
   «delete tempPtr;»
   tempPtr = nullptr;
})",
        .success     = "Pointers are one of the hardest parts of C++, and you made it through.  Great progress!",
        .hint        = {"Stuck? Break it down!", "Use the delete keyword to delete a pointer."},
        .words       = {{"*", ";"}},
        .colors      = join({kMain, in(L2, pink, {"double", "new double"}), in(L3, purple, {"65.9"}), in(L4, red, {R"(", ")"}),
                             in(L4, blue, {"std::cout"}), in(L6, pink, {"nullptr"})}),
        .debugger    = true,
        .printValue  = "65.9, ",
    });
}
// clang-format on
