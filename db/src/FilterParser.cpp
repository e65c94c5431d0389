#include "FilterExpression.h"

#include "FbValues.h"
#include "FilterLexer.h"
#include "FilterNode.h"
#include "FilterValues.h"
#include "db/FbErrors.h"
#include "platform/Locale.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <utility>

namespace db {

using namespace filter;

namespace {

constexpr int kMaxNesting = 200;    // parentheses, NOT and function calls
constexpr int kMaxTreeDepth = 1000; // evaluation recurses over the tree

const char *const kTypeMismatch = "Type mismatch in expression";
const char *const kBadlyFormed = "Incorrectly formed filter expression";

std::string invalidValue(const std::string &text, const char *what)
{
    return "'" + text + "' is not a valid " + what;
}

struct FunctionName {
    std::string_view name;
    FilterFunction function;
};

constexpr std::array kFunctionNames{
    FunctionName{"UPPER", FilterFunction::Upper},
    FunctionName{"LOWER", FilterFunction::Lower},
    FunctionName{"SUBSTRING", FilterFunction::Substring},
    FunctionName{"TRIM", FilterFunction::Trim},
    FunctionName{"TRIMLEFT", FilterFunction::TrimLeft},
    FunctionName{"TRIMRIGHT", FilterFunction::TrimRight},
    FunctionName{"YEAR", FilterFunction::Year},
    FunctionName{"MONTH", FilterFunction::Month},
    FunctionName{"DAY", FilterFunction::Day},
    FunctionName{"HOUR", FilterFunction::Hour},
    FunctionName{"MINUTE", FilterFunction::Minute},
    FunctionName{"SECOND", FilterFunction::Second},
    FunctionName{"GETDATE", FilterFunction::GetDate},
    FunctionName{"DATE", FilterFunction::Date},
    FunctionName{"TIME", FilterFunction::Time},
    FunctionName{"SUM", FilterFunction::Sum},
    FunctionName{"MIN", FilterFunction::Min},
    FunctionName{"MAX", FilterFunction::Max},
    FunctionName{"AVG", FilterFunction::Avg},
    FunctionName{"COUNT", FilterFunction::Count},
};

/// The function an upper-cased name stands for, or nothing.
std::optional<FilterFunction> functionNamed(std::string_view upperName)
{
    for (const FunctionName &entry : kFunctionNames)
        if (entry.name == upperName)
            return entry.function;
    return std::nullopt;
}

} // namespace

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
            left = logical(LogicalOp::Or, left, parseConjunction());
        }
        return left;
    }

    int parseConjunction()
    {
        int left = parseNegation();
        while (atWord("AND")) {
            m_lexer.next();
            left = logical(LogicalOp::And, left, parseNegation());
        }
        return left;
    }

    int logical(LogicalOp op, int left, int right)
    {
        checkMix(left, right);
        left = asCondition(left, kTypeMismatch);
        right = asCondition(right, kTypeMismatch);
        Node made{NodeKind::Logical, {}, {left, right}, {}, {}, ValueType::Boolean};
        made.logical = op;
        return add(std::move(made));
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
        // A name that is no function is a field, even before a parenthesis:
        // the field lookup then reports it.
        if (m_lexer.peekNonBlank() == '(')
            if (std::optional<FilterFunction> function = functionNamed(upper))
                return parseFunction(*function);
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

    int parseFunction(FilterFunction function)
    {
        enter();
        m_lexer.next(); // the name
        m_lexer.next(); // "("
        std::vector<int> arguments;
        if (function == FilterFunction::Count && token().kind == TokenKind::Star) {
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
        Node made{NodeKind::Function, {}, arguments, {}, {}, functionType(function, arguments)};
        made.function = function;
        made.aggregate = isAggregate(function);
        int index = add(std::move(made));
        // An aggregate stands for all rows at once, whatever it reads.
        if (node(index).aggregate)
            node(index).recordVarying = false;
        return index;
    }

    ValueType functionType(FilterFunction function, const std::vector<int> &arguments)
    {
        auto argumentCount = [&](size_t low, size_t high) {
            if (arguments.size() < low || arguments.size() > high)
                throw FilterError(kTypeMismatch);
        };
        auto single = [&] {
            argumentCount(1, 1);
            return node(arguments[0]).type;
        };
        switch (function) {
        case FilterFunction::GetDate:
            argumentCount(0, 0);
            return ValueType::DateTime;
        case FilterFunction::Count:
            argumentCount(0, 1);
            return ValueType::Integer;
        case FilterFunction::Substring:
            argumentCount(2, 3);
            return ValueType::Text;
        case FilterFunction::Upper:
        case FilterFunction::Lower:
        case FilterFunction::Trim:
        case FilterFunction::TrimLeft:
        case FilterFunction::TrimRight:
            single();
            return ValueType::Text;
        case FilterFunction::Date:
            single();
            return ValueType::Date;
        case FilterFunction::Time:
            single();
            return ValueType::Time;
        case FilterFunction::Sum:
        case FilterFunction::Avg:
            single();
            return ValueType::Float;
        case FilterFunction::Min:
        case FilterFunction::Max:
            return single();
        case FilterFunction::Year:
        case FilterFunction::Month:
        case FilterFunction::Day:
        case FilterFunction::Hour:
        case FilterFunction::Minute:
        case FilterFunction::Second:
            single();
            return ValueType::Integer;
        }
        throw std::logic_error("filter function without a type");
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

} // namespace db
