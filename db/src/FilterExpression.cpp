#include "FilterExpression.h"

#include "FbValues.h"
#include "FilterLexer.h"
#include "db/FbErrors.h"
#include "platform/Locale.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace db {

using namespace filter;

namespace {

constexpr int kMaxNesting = 200;    // parentheses, NOT and function calls
constexpr int kMaxTreeDepth = 1000; // evaluation recurses over the tree

const char *const kTypeMismatch = "Type mismatch in expression";
const char *const kBadlyFormed = "Incorrectly formed filter expression";

enum class NodeKind {
    Field,
    Constant,
    Not,
    IsNull,
    IsNotNull,
    Logical,
    Compare,
    Like,
    In,
    Arithmetic,
    Function
};

// ---- values ---------------------------------------------------------------

bool isNull(const FilterValue &value)
{
    return std::holds_alternative<std::monostate>(value);
}

bool isTrue(const FilterValue &value)
{
    auto flag = std::get_if<bool>(&value);
    return flag && *flag;
}

std::optional<int64_t> readInteger(std::string_view text)
{
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> readFloat(std::string_view text)
{
    std::string plain(text);
    std::replace(plain.begin(), plain.end(), platform::localeFormats().decimalSeparator, '.');
    double value = 0;
    auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (plain.empty() || error != std::errc() || end != plain.data() + plain.size())
        return std::nullopt;
    return value;
}

// Filter dates count whole seconds.
platform::DateTime wholeSeconds(platform::DateTime when)
{
    when.millisecond = 0;
    return when;
}

platform::DateTime dateTimeOf(double days)
{
    double whole = std::floor(days);
    platform::DateTime when = values::DateOfDaysSince1899(int64_t(whole));
    int seconds = int(std::lround((days - whole) * 86400.0));
    when.hour = std::min(seconds / 3600, 23);
    when.minute = seconds / 60 % 60;
    when.second = seconds % 60;
    return when;
}

std::string asText(const FilterValue &value)
{
    struct Visitor {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(const std::string &text) const { return text; }
        std::string operator()(int64_t number) const { return std::to_string(number); }
        std::string operator()(double number) const { return values::GeneralFloatText(number); }
        std::string operator()(bool flag) const { return flag ? "True" : "False"; }
        std::string operator()(DateValue date) const
        {
            return values::DateTimeText(dateTimeOf(date.days));
        }
    };
    return std::visit(Visitor{}, value);
}

[[noreturn]] void cannotConvert(const char *from, const char *to)
{
    throw EDatabaseError(std::string("Could not convert variant of type (") + from +
                         ") into type (" + to + ")");
}

double asNumber(const FilterValue &value)
{
    if (auto integer = std::get_if<int64_t>(&value))
        return double(*integer);
    if (auto number = std::get_if<double>(&value))
        return *number;
    if (auto flag = std::get_if<bool>(&value))
        return *flag ? 1 : 0;
    if (auto date = std::get_if<DateValue>(&value))
        return date->days;
    if (auto text = std::get_if<std::string>(&value)) {
        if (auto number = readFloat(*text))
            return *number;
        if (auto date = platform::parseDateTime(*text))
            return values::DaysSince1899(*date);
    }
    cannotConvert("String", "Double");
}

int sign(double difference)
{
    return (difference > 0) - (difference < 0);
}

/// Orders two non-null values: texts byte for byte, everything else as numbers.
int compareValues(const FilterValue &left, const FilterValue &right)
{
    auto leftText = std::get_if<std::string>(&left);
    auto rightText = std::get_if<std::string>(&right);
    if (leftText && rightText) {
        int order = leftText->compare(*rightText);
        return (order > 0) - (order < 0);
    }
    auto leftInteger = std::get_if<int64_t>(&left);
    auto rightInteger = std::get_if<int64_t>(&right);
    if (leftInteger && rightInteger)
        return (*leftInteger > *rightInteger) - (*leftInteger < *rightInteger);
    return sign(asNumber(left) - asNumber(right));
}

bool holds(TokenKind op, int order)
{
    switch (op) {
    case TokenKind::Equal:
        return order == 0;
    case TokenKind::NotEqual:
        return order != 0;
    case TokenKind::Less:
        return order < 0;
    case TokenKind::LessEqual:
        return order <= 0;
    case TokenKind::Greater:
        return order > 0;
    default:
        return order >= 0;
    }
}

TokenKind mirrored(TokenKind op)
{
    switch (op) {
    case TokenKind::Less:
        return TokenKind::Greater;
    case TokenKind::LessEqual:
        return TokenKind::GreaterEqual;
    case TokenKind::Greater:
        return TokenKind::Less;
    case TokenKind::GreaterEqual:
        return TokenKind::LessEqual;
    default:
        return op;
    }
}

bool isComparable(ValueType type)
{
    return type != ValueType::Memo && type != ValueType::Blob && type != ValueType::Bytes;
}

bool isNumeric(ValueType type)
{
    return type == ValueType::Integer || type == ValueType::Float || type == ValueType::Date ||
           type == ValueType::Time || type == ValueType::DateTime;
}

std::string invalidValue(const std::string &text, const char *what)
{
    return "'" + text + "' is not a valid " + what;
}

} // namespace

namespace filter {

std::string_view trimFilterText(std::string_view text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace filter

struct TExpressionParser::Node {
    NodeKind kind = NodeKind::Constant;
    TokenKind op = TokenKind::End; ///< of comparisons and arithmetic
    std::vector<int> children;
    std::string name; ///< field or function name; AND or OR
    FilterValue value;
    ValueType type = ValueType::Null;
    bool aggregate = false;
    bool recordVarying = false;
    bool caseInsensitive = false;
    size_t prefixLength = 0; ///< non-zero: compare only that many leading characters
    int depth = 1;
};

using Node = TExpressionParser::Node;

// Parses by recursive descent and types each node as it is made.
class FilterBuilder {
public:
    FilterBuilder(std::string_view text, TFilterOptions options, FilterFields &fields,
                  std::vector<Node> &nodes)
        : m_lexer(text, platform::localeFormats().decimalSeparator), m_options(options),
          m_fields(fields), m_nodes(nodes)
    {
    }

    int build()
    {
        m_lexer.next();
        int root = parseExpression();
        if (m_lexer.current().kind != TokenKind::End)
            throw FilterError("Filter expression incorrectly terminated");
        if (std::any_of(m_nodes.begin(), m_nodes.end(), [](const Node &n) { return n.aggregate; }))
            throw FilterError("Aggregate expressions not allowed in filters");
        root = asCondition(root, kBadlyFormed);
        if (m_nodes[size_t(root)].depth > kMaxTreeDepth)
            throw FilterError(kBadlyFormed);
        return root;
    }

private:
    const Token &token() const { return m_lexer.current(); }
    bool atWord(std::string_view word) const
    {
        return token().kind == TokenKind::Word && platform::upperLatin(token().text) == word;
    }
    Node &node(int index) { return m_nodes[size_t(index)]; }

    int add(Node made)
    {
        for (int child : made.children) {
            made.depth = std::max(made.depth, node(child).depth + 1);
            made.recordVarying = made.recordVarying || node(child).recordVarying;
        }
        m_nodes.push_back(std::move(made));
        return int(m_nodes.size()) - 1;
    }

    void enter()
    {
        if (++m_nesting > kMaxNesting)
            throw FilterError(kBadlyFormed);
    }
    void leave() { --m_nesting; }

    void expect(TokenKind kind, const char *expected)
    {
        if (token().kind != kind)
            throw FilterError(std::string(expected) + " expected but " + describe(token()) +
                              " found");
    }

    void checkMix(int left, int right)
    {
        if ((node(left).aggregate && node(right).recordVarying) ||
            (node(right).aggregate && node(left).recordVarying))
            throw FilterError("Operation cannot mix aggregate value with record-varying value");
    }

    // A boolean field standing as a condition means field <> false.
    int asCondition(int index, const char *error)
    {
        if (node(index).type == ValueType::Boolean && node(index).kind == NodeKind::Field)
            return add({NodeKind::Compare,
                        TokenKind::NotEqual,
                        {index, add({NodeKind::Constant, {}, {}, {}, false, ValueType::Boolean})},
                        {},
                        {},
                        ValueType::Boolean});
        if (node(index).type != ValueType::Boolean)
            throw FilterError(error);
        return index;
    }

    int parseExpression()
    {
        int left = parseConjunction();
        while (atWord("OR")) {
            m_lexer.next();
            left = logical("OR", left, parseConjunction());
        }
        return left;
    }

    int parseConjunction()
    {
        int left = parseNegation();
        while (atWord("AND")) {
            m_lexer.next();
            left = logical("AND", left, parseNegation());
        }
        return left;
    }

    int logical(const char *op, int left, int right)
    {
        checkMix(left, right);
        left = asCondition(left, kTypeMismatch);
        right = asCondition(right, kTypeMismatch);
        return add({NodeKind::Logical, {}, {left, right}, op, {}, ValueType::Boolean});
    }

    int parseNegation()
    {
        if (!atWord("NOT"))
            return parseComparison();
        enter();
        m_lexer.next();
        int operand = asCondition(parseComparison(), kTypeMismatch);
        leave();
        return add({NodeKind::Not, {}, {operand}, {}, {}, ValueType::Boolean});
    }

    int parseComparison()
    {
        int left = parseSum();
        TokenKind op = token().kind;
        switch (op) {
        case TokenKind::Equal:
        case TokenKind::NotEqual:
        case TokenKind::Less:
        case TokenKind::LessEqual:
        case TokenKind::Greater:
        case TokenKind::GreaterEqual:
            m_lexer.next();
            return compare(op, left, parseSum());
        case TokenKind::Like:
            m_lexer.next();
            return like(left, parseSum());
        case TokenKind::IsNull:
        case TokenKind::IsNotNull:
            m_lexer.next();
            return nullTest(op, left);
        case TokenKind::In:
            return parseIn(left);
        default:
            return left;
        }
    }

    int nullTest(TokenKind op, int operand)
    {
        return add({op == TokenKind::IsNull ? NodeKind::IsNull : NodeKind::IsNotNull,
                    op,
                    {operand},
                    {},
                    {},
                    ValueType::Boolean});
    }

    int parseIn(int left)
    {
        m_lexer.next();
        expect(TokenKind::LParen, "'('");
        m_lexer.next();
        if (token().kind == TokenKind::RParen)
            throw FilterError("IN predicate list may not be empty");
        enter();
        std::vector<int> children{left};
        for (;;) {
            int item = parseExpression();
            checkMix(left, item);
            children.push_back(item);
            if (token().kind == TokenKind::RParen)
                break;
            if (token().kind != TokenKind::Comma)
                throw FilterError("')' or ',' expected but " + describe(token()) + " found");
            m_lexer.next();
        }
        leave();
        m_lexer.next();
        for (int child : children)
            if (!isComparable(node(child).type))
                throw FilterError(kTypeMismatch);
        return add({NodeKind::In, {}, children, {}, {}, ValueType::Boolean});
    }

    bool isNullConstant(int index)
    {
        return node(index).kind == NodeKind::Constant && node(index).type == ValueType::Null;
    }

    // Orders a field-against-constant pair field first and gives the
    // constant the field's type.
    void alignConstant(TokenKind &op, int &left, int &right)
    {
        if (node(left).kind == NodeKind::Constant && node(right).kind != NodeKind::Constant) {
            std::swap(left, right);
            op = mirrored(op);
        }
        if (node(left).kind == NodeKind::Field && node(right).kind == NodeKind::Constant)
            convertConstant(node(right), node(left).type);
    }

    int compare(TokenKind op, int left, int right)
    {
        if (isNullConstant(left) || isNullConstant(right)) {
            if (op != TokenKind::Equal && op != TokenKind::NotEqual)
                throw FilterError("NULL only allowed with '=' and '<>'");
            int operand = isNullConstant(left) ? right : left;
            return nullTest(op == TokenKind::Equal ? TokenKind::IsNull : TokenKind::IsNotNull,
                            operand);
        }
        checkMix(left, right);
        if (!isComparable(node(left).type) || !isComparable(node(right).type))
            throw FilterError(kTypeMismatch);
        alignConstant(op, left, right);
        Node made{NodeKind::Compare, op, {left, right}, {}, {}, ValueType::Boolean};
        if (op == TokenKind::Equal || op == TokenKind::NotEqual)
            applyOptions(made, left, right);
        return add(std::move(made));
    }

    int like(int left, int right)
    {
        checkMix(left, right);
        auto likeable = [](ValueType type) {
            return isComparable(type) || type == ValueType::Memo;
        };
        if (!likeable(node(left).type) || !likeable(node(right).type))
            throw FilterError(kTypeMismatch);
        TokenKind op = TokenKind::Like;
        alignConstant(op, left, right);
        Node made{NodeKind::Like, op, {left, right}, {}, {}, ValueType::Boolean};
        applyOptions(made, left, right);
        return add(std::move(made));
    }

    void applyOptions(Node &made, int left, int right)
    {
        const Node &constant = node(right);
        auto text = std::get_if<std::string>(&constant.value);
        if (node(left).kind != NodeKind::Field || constant.kind != NodeKind::Constant || !text ||
            text->empty())
            return;
        made.caseInsensitive = (m_options & foCaseInsensitive) != 0;
        if (text->size() > 1 && text->back() == '*' && !(m_options & foNoPartialCompare)) {
            made.prefixLength = text->size() - 1;
            node(right).value = text->substr(0, made.prefixLength);
        }
    }

    void convertConstant(Node &constant, ValueType type)
    {
        if (auto text = std::get_if<std::string>(&constant.value)) {
            switch (type) {
            case ValueType::Integer:
                if (auto integer = readInteger(*text))
                    constant.value = *integer;
                else
                    throw FilterError(invalidValue(*text, "integer value"));
                break;
            case ValueType::Float:
                if (auto number = readFloat(*text))
                    constant.value = *number;
                else
                    throw FilterError(invalidValue(*text, "floating point value"));
                break;
            case ValueType::Boolean:
                if (platform::upperLatin(*text) == "TRUE" || platform::upperLatin(*text) == "FALSE")
                    constant.value = platform::upperLatin(*text) == "TRUE";
                else
                    throw FilterError(invalidValue(*text, "boolean value"));
                break;
            case ValueType::Date:
            case ValueType::DateTime:
                if (auto when = platform::parseDateTime(*text))
                    constant.value = DateValue{values::DaysSince1899(*when)};
                else
                    throw FilterError(
                        invalidValue(*text, type == ValueType::Date ? "date" : "date and time"));
                break;
            case ValueType::Time:
                if (auto when = platform::parseTime(*text))
                    constant.value = DateValue{values::DaysSince1899(*when)};
                else
                    throw FilterError(invalidValue(*text, "time"));
                break;
            default:
                break;
            }
        } else if (type == ValueType::Text && !isNull(constant.value)) {
            constant.value = asText(constant.value);
        }
        constant.type = type;
    }

    int parseSum()
    {
        int left = parseProduct();
        while (token().kind == TokenKind::Plus || token().kind == TokenKind::Minus) {
            TokenKind op = token().kind;
            m_lexer.next();
            left = arithmetic(op, left, parseProduct());
        }
        return left;
    }

    int parseProduct()
    {
        int left = parsePrimary();
        while (token().kind == TokenKind::Star || token().kind == TokenKind::Slash) {
            TokenKind op = token().kind;
            m_lexer.next();
            left = arithmetic(op, left, parsePrimary());
        }
        return left;
    }

    int arithmetic(TokenKind op, int left, int right)
    {
        checkMix(left, right);
        ValueType a = node(left).type, b = node(right).type;
        ValueType result;
        if (op == TokenKind::Plus && a == ValueType::Text && b == ValueType::Text)
            result = ValueType::Text;
        else if ((isNumeric(a) || a == ValueType::Null) && (isNumeric(b) || b == ValueType::Null))
            result = a == ValueType::Integer && b == ValueType::Integer && op != TokenKind::Slash
                         ? ValueType::Integer
                         : ValueType::Float;
        else
            throw FilterError(kTypeMismatch);
        Node made{NodeKind::Arithmetic, op, {left, right}, {}, {}, result};
        made.aggregate = node(left).aggregate || node(right).aggregate;
        return add(std::move(made));
    }

    int constant(FilterValue value, ValueType type)
    {
        Node made{NodeKind::Constant, {}, {}, {}, std::move(value), type};
        return add(std::move(made));
    }

    int parsePrimary()
    {
        Token current = token();
        switch (current.kind) {
        case TokenKind::String:
            m_lexer.next();
            return constant(current.text, ValueType::Text);
        case TokenKind::Number:
            m_lexer.next();
            return numberConstant(current.text);
        case TokenKind::FieldName:
            m_lexer.next();
            return field(current.text);
        case TokenKind::LParen: {
            enter();
            m_lexer.next();
            int inner = parseExpression();
            expect(TokenKind::RParen, "')'");
            m_lexer.next();
            leave();
            return inner;
        }
        case TokenKind::Word:
            return parseWord(current.text);
        default:
            throw FilterError("Expression expected but " + describe(current) + " found");
        }
    }

    int numberConstant(const std::string &text)
    {
        if (auto integer = readInteger(text))
            return constant(*integer, ValueType::Integer);
        if (auto number = readFloat(text))
            return constant(*number, ValueType::Float);
        throw FilterError(invalidValue(text, "floating point value"));
    }

    int parseWord(const std::string &word)
    {
        std::string upper = platform::upperLatin(word);
        if (m_lexer.peekNonBlank() == '(' && isFunction(upper))
            return parseFunction(upper);
        m_lexer.next();
        if (upper == "NULL")
            return constant(std::monostate{}, ValueType::Null);
        if (upper == "TRUE" || upper == "FALSE")
            return constant(upper == "TRUE", ValueType::Boolean);
        return field(word);
    }

    int field(const std::string &name)
    {
        FieldRef ref = m_fields.fieldNamed(name);
        if (ref.calculated)
            throw FilterError("Field '" + name + "' cannot be used in a filter expression");
        Node made{NodeKind::Field, {}, {}, name, {}, ref.type};
        made.recordVarying = true;
        return add(std::move(made));
    }

    static bool isAggregate(const std::string &name)
    {
        return name == "SUM" || name == "MIN" || name == "MAX" || name == "AVG" || name == "COUNT";
    }

    static bool isFunction(const std::string &name)
    {
        static const char *const kFunctions[] = {
            "UPPER", "LOWER", "SUBSTRING", "TRIM",   "TRIMLEFT", "TRIMRIGHT", "YEAR",
            "MONTH", "DAY",   "HOUR",      "MINUTE", "SECOND",   "GETDATE",   "DATE",
            "TIME",  "SUM",   "MIN",       "MAX",    "AVG",      "COUNT"};
        return std::find(std::begin(kFunctions), std::end(kFunctions), name) !=
               std::end(kFunctions);
    }

    int parseFunction(const std::string &name)
    {
        enter();
        m_lexer.next(); // the name
        m_lexer.next(); // "("
        std::vector<int> arguments;
        if (name == "COUNT" && token().kind == TokenKind::Star) {
            m_lexer.next();
        } else if (token().kind != TokenKind::RParen) {
            for (;;) {
                arguments.push_back(parseExpression());
                if (token().kind != TokenKind::Comma)
                    break;
                m_lexer.next();
            }
        }
        expect(TokenKind::RParen, "')'");
        m_lexer.next();
        leave();
        Node made{NodeKind::Function, {}, arguments, name, {}, functionType(name, arguments)};
        made.aggregate = isAggregate(name);
        int index = add(std::move(made));
        // An aggregate stands for all rows at once, whatever it reads.
        if (node(index).aggregate)
            node(index).recordVarying = false;
        return index;
    }

    ValueType functionType(const std::string &name, const std::vector<int> &arguments)
    {
        auto argumentCount = [&](size_t low, size_t high) {
            if (arguments.size() < low || arguments.size() > high)
                throw FilterError(kTypeMismatch);
        };
        if (name == "GETDATE") {
            argumentCount(0, 0);
            return ValueType::DateTime;
        }
        if (name == "COUNT") {
            argumentCount(0, 1);
            return ValueType::Integer;
        }
        if (name == "SUBSTRING") {
            argumentCount(2, 3);
            return ValueType::Text;
        }
        argumentCount(1, 1);
        ValueType argument = node(arguments[0]).type;
        if (name == "UPPER" || name == "LOWER" || name.starts_with("TRIM"))
            return ValueType::Text;
        if (name == "DATE")
            return ValueType::Date;
        if (name == "TIME")
            return ValueType::Time;
        if (name == "SUM" || name == "AVG")
            return ValueType::Float;
        if (name == "MIN" || name == "MAX")
            return argument;
        return ValueType::Integer; // YEAR ... SECOND
    }

    FilterLexer m_lexer;
    TFilterOptions m_options;
    FilterFields &m_fields;
    std::vector<Node> &m_nodes;
    int m_nesting = 0;
};

TExpressionParser::TExpressionParser(std::string_view text, TFilterOptions options,
                                     FilterFields &fields)
    : m_text(text), m_options(options)
{
    try {
        m_root = FilterBuilder(m_text, options, fields, m_nodes).build();
    } catch (const std::exception &error) {
        throw EDatabaseError(std::string("Can't parse Filter for:\r\n") + error.what());
    }
}

TExpressionParser::~TExpressionParser() = default;
TExpressionParser::TExpressionParser(TExpressionParser &&) noexcept = default;
TExpressionParser &TExpressionParser::operator=(TExpressionParser &&) noexcept = default;

bool TExpressionParser::Evaluate(FilterFields &fields)
{
    return isTrue(evaluate(m_root, fields));
}

std::optional<TExpressionParser::PlainEquality> TExpressionParser::AsPlainEquality() const
{
    const Node &root = m_nodes[size_t(m_root)];
    if (root.kind != NodeKind::Compare || root.op != TokenKind::Equal || root.caseInsensitive ||
        root.prefixLength != 0)
        return std::nullopt;
    const Node &left = m_nodes[size_t(root.children[0])];
    const Node &right = m_nodes[size_t(root.children[1])];
    if (left.kind != NodeKind::Field || right.kind != NodeKind::Constant || isNull(right.value))
        return std::nullopt;
    return PlainEquality{left.name, right.value};
}

FilterValue TExpressionParser::fieldValue(const Node &node, FilterFields &fields)
{
    auto cached = m_fieldCache.find(node.name);
    if (cached == m_fieldCache.end())
        cached = m_fieldCache.emplace(node.name, fields.fieldNamed(node.name).index).first;
    return fields.fieldValue(cached->second);
}

FilterValue TExpressionParser::evaluate(int index, FilterFields &fields)
{
    const Node &node = m_nodes[size_t(index)];
    auto child = [&](size_t i) { return evaluate(node.children[i], fields); };
    switch (node.kind) {
    case NodeKind::Constant:
        return node.value;
    case NodeKind::Field:
        return fieldValue(node, fields);
    case NodeKind::Not: {
        FilterValue operand = child(0);
        return isNull(operand) ? FilterValue{} : FilterValue{!isTrue(operand)};
    }
    case NodeKind::IsNull:
    case NodeKind::IsNotNull: {
        FilterValue operand = child(0);
        auto text = std::get_if<std::string>(&operand);
        bool empty = isNull(operand) || (text && text->empty());
        return node.kind == NodeKind::IsNull ? empty : !empty;
    }
    case NodeKind::Logical: {
        // AND looks right only when the left is true, OR only when it is false.
        bool left = isTrue(child(0));
        if (left == (node.name == "OR"))
            return left;
        return isTrue(child(1));
    }
    case NodeKind::Compare: {
        FilterValue left = child(0), right = child(1);
        bool leftNull = isNull(left), rightNull = isNull(right);
        if (leftNull || rightNull) {
            bool same = leftNull && rightNull;
            if (node.op == TokenKind::Equal)
                return same;
            if (node.op == TokenKind::NotEqual)
                return !same;
            return false;
        }
        if (node.caseInsensitive || node.prefixLength) {
            std::string a = asText(left), b = asText(right);
            if (node.caseInsensitive) {
                a = platform::upperAnsi(a);
                b = platform::upperAnsi(b);
            }
            if (node.prefixLength)
                a = a.substr(0, node.prefixLength);
            left = a;
            right = b;
        }
        return holds(node.op, compareValues(left, right));
    }
    case NodeKind::Like: {
        std::string value = asText(child(0)), pattern = asText(child(1));
        if (node.caseInsensitive) {
            value = platform::upperAnsi(value);
            pattern = platform::upperAnsi(pattern);
        }
        if (node.prefixLength)
            value = value.substr(0, node.prefixLength);
        return platform::matchesWildcards(value, pattern, {'%', '_', false});
    }
    case NodeKind::In: {
        FilterValue left = child(0);
        for (size_t i = 1; i < node.children.size(); ++i) {
            FilterValue item = child(i);
            if (isNull(left) || isNull(item) ? isNull(left) && isNull(item)
                                             : compareValues(left, item) == 0)
                return true;
        }
        return false;
    }
    case NodeKind::Arithmetic: {
        FilterValue left = child(0), right = child(1);
        if (isNull(left) || isNull(right))
            return {};
        if (node.type == ValueType::Text)
            return asText(left) + asText(right);
        auto a = std::get_if<int64_t>(&left), b = std::get_if<int64_t>(&right);
        if (a && b) {
            int64_t result = 0;
            bool overflow = node.op == TokenKind::Plus    ? __builtin_add_overflow(*a, *b, &result)
                            : node.op == TokenKind::Minus ? __builtin_sub_overflow(*a, *b, &result)
                            : node.op == TokenKind::Star  ? __builtin_mul_overflow(*a, *b, &result)
                                                          : true;
            if (!overflow)
                return result;
        }
        double x = asNumber(left), y = asNumber(right);
        switch (node.op) {
        case TokenKind::Plus:
            return x + y;
        case TokenKind::Minus:
            return x - y;
        case TokenKind::Star:
            return x * y;
        default:
            return y == 0 ? FilterValue{} : FilterValue{x / y};
        }
    }
    case NodeKind::Function:
        return evaluateFunction(node, fields);
    }
    return {};
}

FilterValue TExpressionParser::evaluateFunction(const Node &node, FilterFields &fields)
{
    const std::string &name = node.name;
    if (name == "GETDATE")
        return DateValue{values::DaysSince1899(wholeSeconds(platform::localNow()))};
    std::vector<FilterValue> arguments;
    for (int child : node.children)
        arguments.push_back(evaluate(child, fields));
    if (std::any_of(arguments.begin(), arguments.end(), isNull))
        return {};
    if (name == "UPPER")
        return platform::upperAnsi(asText(arguments[0]));
    if (name == "LOWER")
        return platform::lowerAnsi(asText(arguments[0]));
    if (name.starts_with("TRIM")) {
        std::string text = asText(arguments[0]);
        size_t first = name == "TRIMRIGHT" ? 0 : text.find_first_not_of(' ');
        if (first == std::string::npos)
            return std::string();
        size_t last = name == "TRIMLEFT" ? text.size() - 1 : text.find_last_not_of(' ');
        return text.substr(first, last - first + 1);
    }
    if (name == "SUBSTRING") {
        std::string text = asText(arguments[0]);
        double from = std::max(1.0, asNumber(arguments[1]));
        double length =
            arguments.size() > 2 ? std::max(0.0, asNumber(arguments[2])) : double(text.size());
        if (from > double(text.size()))
            return std::string();
        return text.substr(size_t(from) - 1, size_t(std::min(length, double(text.size()))));
    }
    double days = asNumber(arguments[0]);
    if (name == "DATE")
        return DateValue{std::floor(days)};
    if (name == "TIME")
        return DateValue{days - std::floor(days)};
    platform::DateTime when = dateTimeOf(days);
    if (name == "YEAR")
        return int64_t(when.year);
    if (name == "MONTH")
        return int64_t(when.month);
    if (name == "DAY")
        return int64_t(when.day);
    if (name == "HOUR")
        return int64_t(when.hour);
    if (name == "MINUTE")
        return int64_t(when.minute);
    return int64_t(when.second);
}

} // namespace db
