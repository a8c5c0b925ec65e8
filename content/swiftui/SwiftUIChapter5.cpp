// SwiftUI course, chapter 5: state and the views that change it — a toggle, a text button, an image
// button, text fields and a secure field.
#include "content/swiftui/SwiftUICourse.hpp"
#include "content/swiftui/SwiftUILesson.hpp"

using namespace content::swiftui;

// clang-format off
void buildSwiftUIChapter5(Chapter& chapter) {
    addSwiftUILesson(chapter, {
        .id = "CH5L1", .number = 1, .title = "Toggle - Define @State",
        .instruction = "A Toggle switches between on and off, and it needs a place to keep that state. A property marked @State belongs to the view, and SwiftUI redraws the view whenever it changes. In line 3, declare a state property isFavorite that starts as true.",
        .code = R"(import SwiftUI
struct ContentView : View {
   «@State var isFavorite = true»
   var body: some View {)",
        .given = 9,
        .accepted = {"@State var isFavorite = true", "@State var isFavorite= true", "@State var isFavorite =true",
                     "@State var isFavorite=true"},
        .success = "isFavorite is now state of the view. Next, a Toggle is bound to it.",
        .steps = {"Mark the property with @State.", "Declare it with var.", "Name it isFavorite.", "Set it to true."},
        .words = {{"@", "="}},
        .colorCount = 64,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L2", .number = 2, .title = "Toggle - Binding Bool",
        .instruction = "A Toggle reads and writes its state through a binding. A dollar sign in front of a state property makes a binding to it, so $isFavorite lets the toggle change isFavorite. In line 6, add a Toggle bound to isFavorite.",
        .code = R"(import SwiftUI
struct ContentView : View {
   @State var isFavorite = true
   var body: some View {
       VStack {
           «Toggle(isOn: $isFavorite)»{
       }
   }
} })",
        .accepted = {"Toggle (isOn: $isFavorite)", "Toggle( isOn: $isFavorite)", "Toggle(isOn:$isFavorite)",
                     "Toggle(isOn : $isFavorite)", "Toggle(isOn: $isFavorite )", "Toggle( isOn: $isFavorite )",
                     "Toggle (isOn:$isFavorite)"},
        .success = "Flipping the toggle now changes isFavorite, and isFavorite sets the toggle.",
        .steps = {"Create a Toggle with the isOn parameter.", "Bind it to $isFavorite."},
        .words = {{"(", ":", "$", ")"}},
        .colorCount = 70,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L3", .number = 3, .title = "Toggle - View",
        .instruction = "A state property can also decide what is shown: inside an if, a view appears only while the condition holds. In line 7, show the text only while isFavorite is true.",
        .code = R"(import SwiftUI
struct ContentView : View {
   @State var isFavorite = true
   var body: some View {
       VStack {
           Toggle(isOn: $isFavorite) {
           «if isFavorite»{
               Text("I am glad I am your favorite!")
} } } } })",
        .success = "The last text view is drawn only while the toggle is on, that is while isFavorite is true.",
        .steps = {"Start with the if clause.", "Use the isFavorite property as its condition."},
        .colorCount = 72,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L4", .number = 4, .title = "Text Button - Define @State",
        .instruction = "A Button runs an action when it is tapped. To remember whether it has been tapped, the view needs state again. In line 3, declare a state property buttonTapped that starts as false.",
        .code = R"(import SwiftUI
struct ContentView : View {
   «@State var buttonTapped = false»
   var body: some View {)",
        .given = 9,
        .success = "buttonTapped starts as false. The button will flip it.",
        .steps = {"Mark the property with @State.", "Declare it with var.", "Name it buttonTapped.", "Set it to false."},
        .words = {{"(", "@", "=", ")"}},
        .colorCount = 74,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L5", .number = 5, .title = "Text Button - Method",
        .instruction = R"(A Button takes two closures: the action to run when it is tapped, and the label it shows. The action here toggles buttonTapped. In line 7, label the button with a Text that says "Tap me!".)",
        .code = R"(import SwiftUI
struct ContentView : View {
   @State var buttonTapped = false
   var body: some View {
        Button(action: {
           self.buttonTapped.toggle() }) {
               «Text("Tap me!")»
       })",
        .given = 9,
        .accepted = {R"(Text("Tap me!"))", R"(Text ("Tap me!"))", R"(Text( "Tap me!"))", R"(Text("Tap me!" ))",
                     R"(Text( "Tap me!" ))", R"(Text ( "Tap me!" ))", R"(Text ("Tap me!"))", R"(Text( "Tap me!"))",
                     R"(Text( "Tap me!" ))"},
        .success = "A button with a text label. Each tap flips buttonTapped between true and false.",
        .steps = {"Create a Text view.", R"(Pass it the string "Tap me!".)"},
        .words = {{"(", R"(")", "!", ")"}},
        .colorCount = 78,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L6", .number = 6, .title = "Text Button - If Pressed",
        .instruction = "Now the view can answer the taps. In line 9, show the last text only after the button has been tapped, that is while buttonTapped is true.",
        .code = R"(import SwiftUI
struct ContentView : View {
   @State var buttonTapped = false
   var body: some View {
        Button(action: {
           self.buttonTapped.toggle() }) {
               Text("Tap me!")
       }
       «if buttonTapped»{
          Text("Stop pushing my button!") })",
        .success = "Tap the button and the message appears; tap it again and it goes away.",
        .steps = {"Start with the if clause.", "Use the buttonTapped property as its condition."},
        .colorCount = 79,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L7", .number = 7, .title = "Image Button",
        .instruction = R"(The label of a button can be any view, an image too. In line 7, use the image "ButtonImage" as the label instead of the text.)",
        .code = R"(import SwiftUI
struct ContentView : View {
   @State var buttonTapped = false
   var body: some View {
        Button(action: {
           self.buttonTapped.toggle() }) {
               «Image("ButtonImage")»
       }
       if buttonTapped {
          Text("Stop pushing my button!") })",
        .accepted = {R"(Image("ButtonImage"))", R"(Image ("ButtonImage"))", R"(Image( "ButtonImage"))",
                     R"(Image("ButtonImage" ))", R"(Image( "ButtonImage" ))", R"(Image ( "ButtonImage" ))",
                     R"(Image ( "ButtonImage"))"},
        .success = "The button now shows an image. It works exactly as before.",
        .steps = {"Create an Image view.", R"(Pass it the name "ButtonImage".)"},
        .words = {{"(", R"(")", ")"}},
        .colorCount = 81,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L8", .number = 8, .title = "TextField - Define @State",
        .instruction = R"(A TextField lets you type, and it keeps the typed text in a state property of type String. In line 3, declare a state property name of type String with the default text "Name".)",
        .code = R"(import SwiftUI
struct ContentView : View {
   «@State var name: String = "Name"»)",
        .given = 10,
        .accepted = {R"(@State var name:String="Name")", R"(@State var name:String= "Name")",
                     R"(@State var name:String ="Name")", R"(@State var name:String = "Name")",
                     R"(@State var name: String="Name")", R"(@State var name: String= "Name")",
                     R"(@State var name: String ="Name")", R"(@State var name :String="Name")",
                     R"(@State var name :String= "Name")", R"(@State var name :String ="Name")",
                     R"(@State var name :String = "Name")", R"(@State var name : String="Name")",
                     R"(@State var name : String= "Name")", R"(@State var name : String ="Name")",
                     R"(@State var name : String = "Name")", R"(@State var name: String="Name")",
                     R"(@State var name:String="Name")", R"(@State var name : String = "Name")",
                     R"(@State var name:String = "Name")", R"(@State var name: String ="Name")"},
        .success = R"(name holds the text of the field; it starts as "Name".)",
        .steps = {"Mark the property with @State.", "Declare it with var.", "Call it name.", "Give it the type String.",
                  R"(Set it to "Name".)"},
        .words = {{"@", ":", R"(")", "="}},
        .colorCount = 81,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L9", .number = 9, .title = "TextField - Binding String",
        .instruction = "A TextField is bound to a String property just as a Toggle is bound to a Bool: with a dollar sign. In line 5, add a text field bound to name, so that the greeting below follows what is typed.",
        .code = R"~(import SwiftUI
struct ContentView : View {
   @State var name: String = "Name"
   var body: some View { VStack {
           «TextField($name)»
           Text("Welcome \(name)!")
       }        
   }
})~",
        .given = 10,
        .accepted = {"TextField($name)", "TextField ($name)", "TextField( $name)", "TextField($name )",
                     "TextField( $name )", "TextField ( $name )", "TextField ($name)", "TextField( $name )",
                     "TextField( $name)"},
        .success = "Type in the field and the greeting changes with every key.",
        .steps = {"Create a TextField.", "Bind it to $name."},
        .words = {{"(", "$", ")"}},
        .colorCount = 82,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L10", .number = 10, .title = "TextField - Style",
        .instruction = "A plain text field has no border, which makes it hard to find on the screen. The text field style modifier gives it one. In line 6, give the field the .roundedBorder style.",
        .code = R"(import SwiftUI
struct ContentView : View {
   @State var email: String = ""
   var body: some View { VStack {
           TextField($email, placeholder: Text ("email"))
               «.textFieldStyle(.roundedBorder)»
       }
   }
})",
        .given = 10,
        .accepted = {".textFieldStyle(.roundedBorder)", ".textFieldStyle (.roundedBorder)",
                     ".textFieldStyle( .roundedBorder)", ".textFieldStyle(.roundedBorder )",
                     ".textFieldStyle( .roundedBorder )", ".textFieldStyle ( .roundedBorder )",
                     ".textFieldStyle ( .roundedBorder)", ".textFieldStyle (.roundedBorder)"},
        .success = "The field now has a rounded border and looks like a place to type.",
        .steps = {"Use the textFieldStyle modifier.", "Pass it the roundedBorder style."},
        .words = {{"(", ".", ")"}},
        .colorCount = 83,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L11", .number = 11, .title = "TextField - Content Type",
        .instruction = "The content type tells the system what a field is for, so that it can offer the right suggestions, such as a saved e-mail address. In line 7, mark the field as an .emailAddress field.",
        .code = R"(import SwiftUI
struct ContentView : View {
   @State var email: String = ""
   var body: some View { VStack {
           TextField($email, placeholder: Text ("email"))
               .textFieldStyle(.roundedBorder)
               «.textContentType(.emailAddress)»
       }
   }
})",
        .accepted = {".textContentType (.emailAddress)", ".textContentType( .emailAddress)",
                     ".textContentType(.emailAddress )", ".textContentType( .emailAddress )",
                     ".textContentType ( .emailAddress)", ".textContentType (.emailAddress )",
                     ".textContentType ( .emailAddress )", ".textContentType (.emailAddress)",
                     ".textContentType( .emailAddress)", ".textContentType(.emailAddress )",
                     ".textContentType( .emailAddress )", ".textContentType ( .emailAddress)",
                     ".textContentType (.emailAddress )", ".textContentType ( .emailAddress )",
                     ".textContentType (.emailAddress)"},
        .success = "The keyboard can now suggest your e-mail address as you type.",
        .steps = {"Use the textContentType modifier.", "Pass it the emailAddress type."},
        .words = {{"(", ".", ")"}},
        .colorCount = 84,
    });

    addSwiftUILesson(chapter, {
        .id = "CH5L12", .number = 12, .title = "SecureField",
        .instruction = "A SecureField works like a TextField, but it hides what is typed behind dots. In line 5, add a secure field bound to password.",
        .code = R"(import SwiftUI
struct ContentView : View {
   @State var password: String = "Password"
   var body: some View { VStack {
           «SecureField($password)»
               .textFieldStyle(.roundedBorder)
               .textContentType(.password)
       }
   }
})",
        .accepted = {"SecureField ($password)", "SecureField( $password)", "SecureField($password )",
                     "SecureField( $password )", "SecureField ( $password )", "SecureField ( $password)",
                     "SecureField ($password )", "SecureField( $password )"},
        .success = "The password is hidden as it is typed. That completes user input: toggles, buttons and fields.",
        .steps = {"Create a SecureField.", "Bind it to the password property.", "Put a dollar sign in front: $password."},
        .words = {{"(", "$", ")"}},
        .colorCount = 85,
    });
}
// clang-format on
