// SwiftUI course, chapter 8: one alert built step by step — its state, the presentation bound to it,
// title, message and dismiss button, and the button that shows it.
#include "content/swiftui/SwiftUICourse.hpp"
#include "content/swiftui/SwiftUILesson.hpp"

using namespace content::swiftui;

// clang-format off
void buildSwiftUIChapter8(Chapter& chapter) {
    addSwiftUILesson(chapter, {
        .id = "CH8L1", .number = 1, .title = "Alert State",
        .instruction = "An alert shows while a state property says so. In line 2, declare a state property showAlert that starts as false, so that the alert stays hidden at first.",
        .code = R"(struct ContentView : View {
   «@State var showAlert = false»
   var body: some View {)",
        .given = 10,
        .success = "showAlert is false, so no alert yet. Next, the alert is tied to it.",
        .steps = {"Mark a variable with @State.", "Name it showAlert.", "Set it to false."},
        .words = {{"@", "="}},
        .colorCount = 67,
    });

    addSwiftUILesson(chapter, {
        .id = "CH8L2", .number = 2, .title = "Presenting Alerts",
        .instruction = "The presentation modifier shows the alert built in its closure whenever the bound property is true. In line 5, bind the presentation to $showAlert.",
        .code = R"(struct ContentView: View {
   @State var showAlert = false
   var body: some View {
       Text("Present alert view")
           «.presentation($showAlert)»{
               // Insert Alert view here
           })",
        .given = 9,
        .accepted = {".presentation($showAlert)", ".presentation ($showAlert)", ".presentation( $showAlert)",
                     ".presentation($showAlert )", ".presentation( $showAlert )", ".presentation ( $showAlert )",
                     ".presentation ( $showAlert)", ".presentation ($showAlert )"},
        .success = "The alert is tied to showAlert. All it still needs is content.",
        .steps = {"Use the presentation modifier.", "Bind it to $showAlert."},
        .words = {{"(", ".", "$", ")"}},
        .colorCount = 74,
    });

    addSwiftUILesson(chapter, {
        .id = "CH8L3", .number = 3, .title = "Alert View - Title 1/3",
        .instruction = R"(An Alert has a title, a message and a button that dismisses it. The title comes first, as a Text view. In line 6, create the alert with the title "Help me".)",
        .code = R"(struct ContentView: View {
   @State var showAlert = false
   var body: some View {
       Text("Present alert view")
           .presentation($showAlert) {
               «Alert(title: Text("Help me")»)
           })",
        .given = 9,
        .accepted = {R"(Alert(title: Text("Help me"))", R"(Alert (title: Text("Help me"))", R"(Alert( title: Text("Help me"))",
                     R"(Alert(title:Text("Help me"))", R"(Alert(title : Text("Help me"))", R"(Alert(title: Text ("Help me"))",
                     R"(Alert(title: Text( "Help me"))", R"(Alert(title: Text("Help me" ))", R"(Alert(title: Text( "Help me" ))",
                     R"(Alert( title: Text( "Help me" ))", R"(Alert(title:Text ("Help me"))", R"(Alert (title : Text("Help me"))",
                     R"(Alert( title:Text("Help me"))", R"(Alert(title : Text ( "Help me" ))"},
        .success = R"(The alert has its title "Help me". The message comes next.)",
        .steps = {"Create an Alert.", "Add the title parameter.", R"(Make it a Text view with the string "Help me".)"},
        .words = {{"(", ":", R"(")", ")"}},
        .colorCount = 74,
    });

    addSwiftUILesson(chapter, {
        .id = "CH8L4", .number = 4, .title = "Alert View - Message 2/3",
        .instruction = R"(The message says what the alert is about; it follows the title after a comma. In line 7, add the message "Please".)",
        .code = R"(struct ContentView: View {
   @State var showAlert = false
   var body: some View {
       Text("Present alert view")
           .presentation($showAlert) {
               Alert(title: Text("Help me"),
                   «message: Text("Please")»)
           })",
        .given = 9,
        .accepted = {R"(message:Text("Please"))", R"(message : Text("Please"))", R"(message: Text ("Please"))",
                     R"(message: Text( "Please"))", R"(message: Text("Please" ))", R"(message: Text( "Please" ))",
                     R"(message:Text ("Please"))", R"(message :Text("Please"))", R"(message: Text ( "Please" ))",
                     R"(message : Text ("Please"))", R"(message:Text( "Please" ))", R"(message: Text("please"))"},
        .success = "Title and message are set. One step is left: the button that closes the alert.",
        .steps = {"Add the message parameter.", R"(Make it a Text view with the string "Please".)"},
        .words = {{"(", ":", R"(")", ")"}},
        .colorCount = 76,
    });

    addSwiftUILesson(chapter, {
        .id = "CH8L5", .number = 5, .title = "Alert View - Dismiss Button 3/3",
        .instruction = R"(The third parameter of the alert is its dismiss button. A default button takes its title as a Text view, in the form .default(Text("Title")). In line 8, add a default dismiss button titled "Ok".)",
        .code = R"(struct ContentView: View {
   @State var showAlert = false
   var body: some View {
       Text("Present alert view")
           .presentation($showAlert) {
               Alert(title: Text("Help me"),
                   message: Text("Please"),
                   «dismissButton: .default(Text("Ok"))»)
           })",
        .accepted = {R"(dismissButton: .default(Text("Ok")))", R"(dismissButton:.default(Text("Ok")))",
                     R"(dismissButton : .default(Text("Ok")))", R"(dismissButton: .default (Text("Ok")))",
                     R"(dismissButton: .default( Text("Ok")))", R"(dismissButton: .default(Text ("Ok")))",
                     R"(dismissButton: .default(Text( "Ok")))", R"(dismissButton: .default(Text("Ok" )))",
                     R"(dismissButton: .default(Text("Ok") ))", R"(dismissButton:.default( Text( "Ok" ) ))",
                     R"(dismissButton : .default (Text ("Ok")))"},
        .success = "The alert is complete, but nothing in the code changes showAlert yet, so it would never appear. The next lesson adds the button that does.",
        .steps = {"Add the dismissButton parameter.", "Use the default button.", R"(Set its text to "Ok".)"},
        .words = {{"(", ".", ":", R"(")", ")"}},
        .colorCount = 78,
    });

    addSwiftUILesson(chapter, {
        .id = "CH8L6", .number = 6, .title = "Fire Alert View",
        .instruction = "Last step: a button that sets showAlert to true. The text becomes its label, so it moves inside the button. In line 4, turn the text into a Button by starting its action.",
        .code = R"(struct ContentView: View {
   @State var showAlert = false
   var body: some View {
       «Button(action:»{ self.showAlert = true }) {
           Text("Present alert view") }
           .presentation($showAlert) {
               Alert(title: Text("Help me"),
                   message: Text("Please"),
                   dismissButton: .default(Text("Ok")))
} } })",
        .accepted = {"Button(action:", "Button (action:", "Button( action:", "Button(action :", "Button( action :",
                     "Button ( action:"},
        .success = "Tap the text and the alert appears; Ok closes it. You have finished the SwiftUI course!",
        .steps = {"Create a Button and start its action parameter."},
        .words = {{"(", ":"}},
        .colorCount = 84,
    });
}
// clang-format on
