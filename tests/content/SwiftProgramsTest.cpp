// What the Swift course shows as code, read by the rules of Swift that lessons have broken before. No
// Swift compiler runs on this platform, so every shown program, with each accepted answer in its field,
// is read here instead: its brackets pair up; an operator has blanks on both sides or on neither (one
// blank makes it a prefix or postfix operator); return stands inside a function or a closure; a type's
// body uses self only inside its methods; a class whose stored property has no value has an
// initializer. And what a lesson says its program printed shows an array's strings in quotes, as Swift
// prints them.
#include "content/LessonForm.hpp"
#include "tests/content/CourseFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <string_view>
#include <vector>

using namespace content_test;

namespace {

struct Token {
    enum Kind { word, number, string, op, open, close, semicolon, punctuation, newline } kind;
    std::string text;
    std::size_t at = 0;
};

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '$' || c == '@';
}

bool isOperatorChar(char c) {
    return std::string_view("=-+!*%<>&|^~?/.").find(c) != std::string_view::npos;
}

// The end of the string literal that starts at `at` (one past its closing quote), interpolations and
// the strings inside them included.
std::size_t stringEnd(const std::string& code, std::size_t at) {
    std::size_t i = at + 1;
    while (i < code.size() && code[i] != '"') {
        if (code[i] == '\\' && i + 1 < code.size() && code[i + 1] == '(') {
            int depth = 0;
            for (i += 1; i < code.size(); ++i) {
                if (code[i] == '"')
                    i = stringEnd(code, i) - 1;
                else if (code[i] == '(')
                    ++depth;
                else if (code[i] == ')' && --depth == 0)
                    break;
            }
        } else if (code[i] == '\\') {
            ++i;
        }
        ++i;
    }
    return std::min(i + 1, code.size());
}

std::vector<Token> tokens(const std::string& code) {
    std::vector<Token> out;
    for (std::size_t i = 0; i < code.size();) {
        const char c = code[i];
        if (c == '\n') {
            out.push_back({Token::newline, "\n", i++});
        } else if (code.compare(i, 2, "//") == 0) {
            while (i < code.size() && code[i] != '\n')
                ++i;
        } else if (code.compare(i, 2, "/*") == 0) {
            const auto end = code.find("*/", i + 2);
            i = end == std::string::npos ? code.size() : end + 2;
        } else if (c == '"') {
            const auto end = stringEnd(code, i);
            out.push_back({Token::string, code.substr(i, end - i), i});
            i = end;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            auto end = i;
            while (end < code.size() &&
                   (isWordChar(code[end]) || (code[end] == '.' && end + 1 < code.size() &&
                                              std::isdigit(static_cast<unsigned char>(code[end + 1])))))
                ++end;
            out.push_back({Token::number, code.substr(i, end - i), i});
            i = end;
        } else if (isWordChar(c)) {
            auto end = i;
            while (end < code.size() && isWordChar(code[end]))
                ++end;
            out.push_back({Token::word, code.substr(i, end - i), i});
            i = end;
        } else if (c == '.' && code.compare(i, 3, "...") != 0 && code.compare(i, 3, "..<") != 0) {
            ++i; // member access
        } else if ((c == '!' || c == '?') && i > 0 && isWordChar(code[i - 1])) {
            out.push_back({Token::op, std::string(1, c), i++}); // postfix, always a token of its own
        } else if ((c == '!' || c == '?') && i > 0 &&
                   std::string_view(")]").find(code[i - 1]) != std::string_view::npos) {
            out.push_back({Token::op, std::string(1, c), i++});
        } else if (isOperatorChar(c)) {
            auto end = i;
            // A dot belongs to an operator only where the operator starts with one ("...", "..<").
            while (end < code.size() && isOperatorChar(code[end]) && code.compare(end, 2, "//") != 0 &&
                   (code[end] != '.' || c == '.'))
                ++end;
            out.push_back({Token::op, code.substr(i, end - i), i});
            i = end;
        } else if (c == '(' || c == '[' || c == '{') {
            out.push_back({Token::open, std::string(1, c), i++});
        } else if (c == ')' || c == ']' || c == '}') {
            out.push_back({Token::close, std::string(1, c), i++});
        } else if (c == ';') {
            out.push_back({Token::semicolon, ";", i++});
        } else if (c == ',' || c == ':') {
            out.push_back({Token::punctuation, std::string(1, c), i++});
        } else {
            ++i; // blanks
        }
    }
    return out;
}

// Words after which an expression starts, so a prefix operator may follow them.
const std::set<std::string> kBeforeExpression = {"return", "if",  "guard", "while",  "in",  "case", "where",
                                                 "throw",  "try", "await", "switch", "for", "else", "repeat"};

// Swift reads an operator as infix when it is bound on both sides or on neither; bound means touching
// code, where an opening bracket, a comma, a semicolon or a colon before it, or a closing one after
// it, counts as a blank. An operator bound on one side only is prefix or postfix: a fault for one
// that has no such form, and for a prefix one right after an operand, which starts a second statement.
// `previous` is the token before, on the same line, if any.
std::string operatorFault(const std::string& code, const Token& token, const Token* previous) {
    static const std::set<std::string> infixes = {
        "=", "+=", "-=", "*=", "/=",  "%=",  "==", "!=",  "<",   ">", "<=", ">=", "&&", "||", "+",
        "-", "*",  "/",  "%",  "...", "..<", "??", "===", "!==", "&", "|",  "^",  "<<", ">>", "~="};
    static const std::set<std::string> prefixes = {"!", "-", "+", "~", "&", "...", "..<"};
    static const std::set<std::string> postfixes = {"...", "!", "?"};
    const auto& text = token.text;
    if (text == "->" || text == "?" || text == "!") return "";
    const auto after = token.at + text.size();
    const bool left =
        token.at > 0 && std::string_view(" \t\n([{,;:").find(code[token.at - 1]) == std::string_view::npos;
    const bool right = after < code.size() &&
                       std::string_view(" \t\n)]},;:").find(code[after]) == std::string_view::npos &&
                       code.compare(after, 2, "//") != 0;
    if (left == right) return infixes.contains(text) ? "" : "[" + text + "] is no operator";
    if (left && postfixes.contains(text)) return "";
    if (right && prefixes.contains(text)) {
        const bool afterOperand =
            previous && (previous->kind == Token::number || previous->kind == Token::string ||
                         (previous->kind == Token::close && previous->text != "}") ||
                         (previous->kind == Token::word && !kBeforeExpression.contains(previous->text)));
        if (!afterOperand) return "";
    }
    return "[" + text + "] has a blank on one side only";
}

const std::set<std::string> kModifiers = {"private",  "fileprivate", "public", "internal",
                                          "open",     "final",       "static", "class",
                                          "override", "mutating",    "weak",   "lazy",
                                          "required", "convenience", "@objc",  "@discardableResult"};
const std::set<std::string> kTypes = {"class", "struct", "enum", "protocol", "extension"};
const std::set<std::string> kControl = {"if", "guard", "else",   "for",  "while",   "repeat",
                                        "do", "catch", "switch", "case", "default", "defer"};

// A braced block: a type's body, a function's or closure's body, or the block of a statement.
struct Block {
    enum Kind { type, function, statement } kind;
    bool isClass = false;
    bool hasInitializer = false;
    std::vector<std::string> storedWithoutValue;
};

// The first word of a statement that is not a modifier, and whether the statement declares a type.
std::string leadingWord(const std::vector<Token>& statement, bool& isClass) {
    isClass = false;
    for (std::size_t i = 0; i < statement.size(); ++i) {
        const auto& t = statement[i];
        if (t.kind != Token::word) return t.text;
        const bool typeDeclaration =
            kTypes.contains(t.text) && i + 1 < statement.size() && statement[i + 1].kind == Token::word &&
            !kModifiers.contains(statement[i + 1].text) && statement[i + 1].text != "func" &&
            statement[i + 1].text != "var" && statement[i + 1].text != "let";
        if (typeDeclaration) {
            isClass = t.text == "class";
            return t.text;
        }
        if (!kModifiers.contains(t.text)) return t.text;
    }
    return "";
}

// A stored property declared in a type's body without a value: let or var, a name, a type annotation,
// no "=" and no accessor block; a var of optional type starts as nil.
std::string storedWithoutValue(const std::vector<Token>& statement) {
    std::size_t i = 0;
    while (i < statement.size() && statement[i].kind == Token::word && kModifiers.contains(statement[i].text))
        ++i;
    if (i + 1 >= statement.size() || (statement[i].text != "let" && statement[i].text != "var")) return "";
    for (const auto& t : statement)
        if ((t.kind == Token::op && t.text == "=") || (t.kind == Token::open && t.text == "{")) return "";
    const auto& last = statement.back();
    if (statement[i].text == "var" && last.kind == Token::op && (last.text == "?" || last.text == "!"))
        return "";
    return statement[i + 1].text;
}

// Names the program binds somewhere: after let, var or for (every name of a tuple pattern too), as a
// function's or type's name, or as a label before a colon inside round brackets (a parameter, a tuple
// member).
std::set<std::string> boundNames(const std::vector<Token>& all) {
    static const std::set<std::string> binders = {"let",   "var",    "for",  "func",
                                                  "class", "struct", "enum", "protocol"};
    std::set<std::string> names;
    int rounds = 0;
    for (std::size_t n = 0; n + 1 < all.size(); ++n) {
        const auto& t = all[n];
        if (t.text == "(" || t.text == ")") rounds += t.text == "(" ? 1 : -1;
        if (t.kind != Token::word) continue;
        if (rounds > 0 && all[n + 1].text == ":") names.insert(t.text);
        if (!binders.contains(t.text)) continue;
        if (all[n + 1].kind == Token::word) names.insert(all[n + 1].text);
        if (all[n + 1].text != "(") continue;
        int depth = 0;
        for (auto k = n + 1; k < all.size(); ++k) {
            if (all[k].kind == Token::open) ++depth;
            if (all[k].kind == Token::close && --depth == 0) break;
            if (all[k].kind == Token::word) names.insert(all[k].text);
        }
    }
    return names;
}

// A where clause may read only names something binds: in "case (_, s) where s > 120" no s exists, as a
// pattern binds a name only after let or var. Members, calls, types and literals are not checked.
std::vector<std::string> unboundInWhere(const std::string& code, const std::vector<Token>& all) {
    static const std::set<std::string> notNames = {"true", "false", "nil", "self", "is", "as", "_"};
    const auto bound = boundNames(all);
    std::vector<std::string> found;
    for (std::size_t n = 0; n < all.size(); ++n) {
        if (all[n].kind != Token::word || all[n].text != "where") continue;
        for (auto k = n + 1; k < all.size(); ++k) {
            const auto& t = all[k];
            if (t.kind == Token::newline || t.text == ":" || t.text == "{") break;
            if (t.kind != Token::word || notNames.contains(t.text) || bound.contains(t.text) ||
                std::isupper(static_cast<unsigned char>(t.text[0])))
                continue;
            const bool memberOrCall = code[t.at - 1] == '.' || (k + 1 < all.size() && all[k + 1].text == "(");
            if (!memberOrCall) found.push_back(t.text + " in a where clause is bound nowhere");
        }
    }
    return found;
}

// The faults of `code` read as Swift; `continues` when the program goes on in lines the lesson does not
// show yet.
std::vector<std::string> faults(const std::string& code, bool continues) {
    struct Open {
        char bracket;
        Block block;
    };
    std::vector<std::string> found;
    std::vector<Open> open;
    std::vector<std::vector<Token>> statements{{}}; // the statement being read, one per block level
    std::vector<int> nesting{0};                    // round and square brackets open in that statement
    int generics = 0;
    const auto all = tokens(code);
    auto endStatement = [&] {
        auto& statement = statements.back();
        if (!statement.empty() && !open.empty() && open.back().bracket == '{') {
            auto& block = open.back().block;
            bool isClass = false;
            const auto first = leadingWord(statement, isClass);
            if (first == "init") block.hasInitializer = true;
            if (block.kind == Block::type) {
                if (auto name = storedWithoutValue(statement); !name.empty())
                    block.storedWithoutValue.push_back(name);
            }
        }
        statement.clear();
    };
    for (std::size_t n = 0; n < all.size(); ++n) {
        const auto& t = all[n];
        if (t.kind == Token::newline) {
            // A block may open on the next line ("var x: Int" then "{ return 0 }").
            auto next = n + 1;
            while (next < all.size() && all[next].kind == Token::newline)
                ++next;
            const bool blockFollows = next < all.size() && all[next].text == "{";
            if (nesting.back() == 0 && !blockFollows) endStatement();
            continue;
        }
        if (t.kind == Token::semicolon) {
            endStatement();
            continue;
        }
        if (t.kind == Token::op) {
            // Generic brackets: "<" right after a type name or after the name a declaration introduces,
            // and the ">" that closes it.
            const bool afterTypeName = n > 0 && all[n - 1].kind == Token::word &&
                                       all[n - 1].at + all[n - 1].text.size() == t.at &&
                                       std::isupper(static_cast<unsigned char>(all[n - 1].text[0]));
            const bool afterDeclaredName = n > 1 && all[n - 1].kind == Token::word &&
                                           (all[n - 2].text == "func" || kTypes.contains(all[n - 2].text));
            if (t.text == "<" && (afterTypeName || afterDeclaredName)) {
                ++generics;
            } else if (t.text == ">" && generics > 0) {
                --generics;
            } else if (auto fault = operatorFault(
                           code, t, n > 0 && all[n - 1].kind != Token::newline ? &all[n - 1] : nullptr);
                       !fault.empty()) {
                found.push_back(fault);
            }
        }
        if (t.kind == Token::word && t.text == "return") {
            bool inFunction = false;
            for (const auto& o : open)
                inFunction = inFunction || (o.bracket == '{' && o.block.kind == Block::function);
            if (!inFunction) found.push_back("return outside a function or closure");
        }
        if (t.kind == Token::word && t.text == "self" && !open.empty() && open.back().bracket == '{' &&
            open.back().block.kind == Block::type) {
            bool isClass = false;
            if (leadingWord(statements.back(), isClass) != "lazy")
                found.push_back("self in a type's body, outside its methods");
        }
        if (t.kind == Token::open) {
            Block block{Block::statement};
            if (t.text == "{") {
                bool isClass = false;
                const auto first = leadingWord(statements.back(), isClass);
                if (nesting.back() > 0 || !(kTypes.contains(first) || kControl.contains(first)))
                    block.kind = Block::function;
                else if (kTypes.contains(first))
                    block = {Block::type, isClass};
                statements.back().push_back(t);
                statements.push_back({});
                nesting.push_back(0);
            } else {
                ++nesting.back();
                statements.back().push_back(t);
            }
            open.push_back({t.text[0], block});
            continue;
        }
        if (t.kind == Token::close) {
            const char expected = t.text == ")" ? '(' : t.text == "]" ? '[' : '{';
            if (open.empty() || open.back().bracket != expected) {
                found.push_back("unmatched " + t.text);
                continue;
            }
            if (expected == '{') {
                endStatement();
                const auto block = open.back().block;
                if (block.isClass && !block.hasInitializer)
                    for (const auto& name : block.storedWithoutValue)
                        found.push_back("class without an initializer for its stored property " + name);
                statements.pop_back();
                nesting.pop_back();
            } else {
                --nesting.back();
            }
            open.pop_back();
        }
        statements.back().push_back(t);
    }
    // A listing may stop with blocks still open, where the lesson shows a program only as far as it is
    // built; a class it shows whole, or as far as its last line, must still be able to initialize.
    while (!open.empty()) {
        const auto last = open.back();
        if (last.bracket == '{') {
            endStatement();
            if (!continues && last.block.isClass && !last.block.hasInitializer)
                for (const auto& name : last.block.storedWithoutValue)
                    found.push_back("class without an initializer for its stored property " + name);
            statements.pop_back();
        } else if (!continues) {
            found.push_back(std::string("unclosed ") + last.bracket);
        }
        open.pop_back();
    }
    for (auto& fault : unboundInWhere(code, all))
        found.push_back(std::move(fault));
    return found;
}

// The program a lesson shows with `typed` in its field, which is a box of its own between the code on
// either side.
std::string shownProgram(const Lesson& lesson, const std::string& typed) {
    std::string code;
    for (int k = 1; k <= lesson.lines; ++k) {
        code += lesson.text1(k).value_or("").str();
        if (k == lesson.textFieldInLine) code += " " + typed + " " + lesson.text2(k).value_or("").str();
        code += "\n";
    }
    return code;
}

std::string typedFor(const Lesson& lesson, const std::string& accepted) {
    auto pos = accepted.find("\"\"");
    if (!lesson.dynamicAnswer || pos == std::string::npos) return accepted;
    return accepted.substr(0, pos + 1) + "Sam" + accepted.substr(pos + 1);
}

TEST(SwiftPrograms, ReadTheFaultsTheCourseHasHad) {
    struct Case {
        const char* code;
        const char* fault; // "" for none
    };
    const Case cases[] = {
        {"members +=[\"Dev\"]\n", "[+=] has a blank on one side only"},
        {"members+=[\"Dev\"]\nx = -1\nlet ok = !done && a! > b?.c ?? 0\n", ""},
        {"aToZ = letters.sorted(by: { $0 < $1 }))\n", "unmatched )"},
        {"class C {\n   let x: Int\n", "class without an initializer for its stored property x"},
        {"print((a)\n", "unclosed ("},
        {"guard ok else {\n   return\n}\n", "return outside a function or closure"},
        {"func f() { guard ok else {\n   return\n} }; f()\nlet b = a.map { return $0 }\n", ""},
        {"class V: UIViewController {\n   let s = self.view as! SKView\n}\n",
         "self in a type's body, outside its methods"},
        {"class V: UIViewController { override func viewDidLoad() {\n   let s = self.view as! SKView\n} }\n",
         ""},
        {"class V: UIViewController {\n   let vc: UIViewController & P\n}\n",
         "class without an initializer for its stored property vc"},
        {"class H {\n   var n: String; var d: P?\n   init(n: String) { self.n = n }\n}\n", ""},
        {"struct S {\n   let x: Int\n}\n", ""},
        {"let s = Set<String>()\nvar d: Dictionary<String, Int> = [:]\nprint(\"a \\(b) = \\(\"c\")\")\n", ""},
        {"myInt!+= 100\n", "[+=] has a blank on one side only"},
        {"position.y +=-1\n", "[+=-] has a blank on one side only"},
        {"position.y+=-1\n", "[+=-] is no operator"},
        {"let merged = array1 +array2\n", "[+] has a blank on one side only"},
        {"func printAll <T> (items: [T]) {}\nvar oddNumbers = [Int]()\nfor number in 1...100 {\n", ""},
        {"class P {\n   var symbols: Int\n   { return 0 }\n}\n", ""},
        {"let car = (model: \"R\", speed: 130)\nswitch car {\ncase (_, s) where s > 120:\n   "
         "print(1)\ndefault: break\n}\n",
         "s in a where clause is bound nowhere"},
        {"let houseNumber = 5550\nswitch houseNumber {\ncase _ where n % 2 == 0:\n   print(1)\ndefault: "
         "break\n}\n",
         "n in a where clause is bound nowhere"},
        {"let limit = 50.0\nswitch 7.0 {\ncase let (cs) where cs > abs(limit) && cs.isFinite:\n   print(1)\n"
         "default: break\n}\nfor (i, x) in [1].enumerated() where x > i {}\nfunc f<T>(a: T) where T: "
         "Equatable {}\n",
         ""},
        {"let on = true\nswitch 1 {\ncase _ where isOn:\n   print(1)\ndefault: break\n}\n",
         "isOn in a where clause is bound nowhere"},
    };
    for (const auto& [code, fault] : cases) {
        const auto found = faults(code, false);
        if (*fault == '\0') {
            EXPECT_TRUE(found.empty()) << code << found.front();
        } else {
            EXPECT_EQ(found, std::vector<std::string>{fault}) << code;
        }
    }
}

// Whether the lesson's program goes on in lines it does not show.
bool continuesUnshown(const Lesson& lesson) {
    for (int k = static_cast<int>(lesson.lines) + 1; k <= Lesson::kMaxLines; ++k)
        if (auto text = lesson.text1(k);
            text && text->view().find_first_not_of(' ') != std::string_view::npos)
            return true;
    return false;
}

TEST(SwiftPrograms, EveryShownProgramReadsAsSwift) {
    int programs = 0;
    for (const auto& [chapter, lesson] : allLessons(0)) {
        for (const auto& accepted : lesson->acceptedAnswers) {
            if (accepted == content::kShortcutAnswer) continue;
            const auto code = shownProgram(*lesson, typedFor(*lesson, accepted.str()));
            ++programs;
            for (const auto& fault : faults(code, continuesUnshown(*lesson)))
                ADD_FAILURE() << lesson->lessonID << " with [" << accepted << "]: " << fault << "\n" << code;
        }
    }
    RecordProperty("programs", programs);
}

// The faults of a printed value: an element of an array, set or dictionary that is a bare word, where
// Swift prints a string in quotes ("[oranges]" for ["oranges"]).
std::vector<std::string> printedFaults(const std::string& printed) {
    std::vector<std::string> found;
    int depth = 0, parentheses = 0; // a tuple's commas and labels stay inside its element
    std::string element;
    auto check = [&] {
        auto trimmed = element;
        while (!trimmed.empty() && trimmed.front() == ' ')
            trimmed.erase(0, 1);
        if (!trimmed.empty() &&
            std::all_of(trimmed.begin(), trimmed.end(),
                        [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }) &&
            trimmed != "true" && trimmed != "false" && trimmed != "nil")
            found.push_back(trimmed + " without quotes");
        element.clear();
    };
    for (std::size_t i = 0; i < printed.size(); ++i) {
        const char c = printed[i];
        if (c == '"') {
            const auto end = printed.find('"', i + 1);
            element += printed.substr(i, end == std::string::npos ? std::string::npos : end - i + 1);
            if (end == std::string::npos) break;
            i = end;
        } else if (c == '[') {
            ++depth;
            element.clear();
        } else if (c == ']' && depth > 0) {
            check();
            --depth;
        } else if (depth > 0 && (c == '(' || c == ')')) {
            parentheses += c == '(' ? 1 : -1;
            element += c;
        } else if (depth > 0 && parentheses == 0 && (c == ',' || c == ':')) {
            check();
        } else if (depth > 0) {
            element += c;
        }
    }
    return found;
}

TEST(SwiftPrograms, PrintedArraysShowTheirStringsInQuotes) {
    EXPECT_EQ(printedFaults("[oranges, bread]"),
              (std::vector<std::string>{"oranges without quotes", "bread without quotes"}));
    EXPECT_TRUE(
        printedFaults(R"(["a, b", "c"] [1, nil, Optional(3)] ["Bill": 24] [true] [(0, 5), (n: "a", age: 3)])")
            .empty());
    for (const auto& [chapter, lesson] : allLessons(0)) {
        std::vector<std::string> printed;
        if (lesson->debuggerPrintValue) printed.push_back(lesson->debuggerPrintValue->str());
        if (lesson->answerDebugMessageLabelDictionary)
            for (const auto& [key, value] : *lesson->answerDebugMessageLabelDictionary)
                printed.push_back(value.str());
        for (const auto& text : printed)
            for (const auto& fault : printedFaults(text))
                ADD_FAILURE() << lesson->lessonID << " prints [" << text << "]: " << fault;
    }
}

} // namespace
