#include "tools/ltpctl/state/yaml_tree.h"

#include <sstream>

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/exceptions.h>
#include <yaml-cpp/parser.h>

#include "tools/ltpctl/state/file_error.h"

namespace ltpstate {
namespace {

class TreeBuilder : public YAML::EventHandler {
public:
    explicit TreeBuilder(int firstLine) : m_firstLine(firstLine) {}

    YamlNode root;

    void OnDocumentStart(const YAML::Mark&) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark& mark, YAML::anchor_t) override {
        Add(YamlNode::Kind::null, mark, std::string(), "?");
    }
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t) override {
        throw FileError(mark.line + m_firstLine,
                        "aliases (*name) are not used in a configuration file");
    }
    void OnScalar(const YAML::Mark& mark, const std::string& tag, YAML::anchor_t,
                  const std::string& value) override {
        Add(YamlNode::Kind::scalar, mark, value, tag);
    }
    void OnSequenceStart(const YAML::Mark& mark, const std::string& tag, YAML::anchor_t,
                         YAML::EmitterStyle::value) override {
        m_open.push_back(Add(YamlNode::Kind::sequence, mark, std::string(), tag));
    }
    void OnSequenceEnd() override { m_open.pop_back(); }
    void OnMapStart(const YAML::Mark& mark, const std::string& tag, YAML::anchor_t,
                    YAML::EmitterStyle::value) override {
        m_open.push_back(Add(YamlNode::Kind::map, mark, std::string(), tag));
    }
    void OnMapEnd() override { m_open.pop_back(); }

private:
    // Adds a node to the innermost open list or map (or makes it the root); returns it. Only the
    // innermost open node's children grow, so pointers to the open nodes stay valid.
    YamlNode* Add(YamlNode::Kind kind, const YAML::Mark& mark, const std::string& scalar,
                  const std::string& tag) {
        YamlNode node;
        node.kind = kind;
        node.scalar = scalar;
        node.tag = tag;
        node.line = mark.line + m_firstLine;
        if (m_open.empty()) {
            root = std::move(node);
            return &root;
        }
        m_open.back()->children.push_back(std::move(node));
        return &m_open.back()->children.back();
    }

    int m_firstLine;
    std::vector<YamlNode*> m_open;
};

} // namespace

YamlNode ParseYaml(const std::string& text, int firstLine) {
    std::istringstream in(text);
    TreeBuilder builder(firstLine);
    try {
        YAML::Parser parser(in);
        if (!parser.HandleNextDocument(builder))
            return YamlNode();
        TreeBuilder rest(firstLine);
        if (parser.HandleNextDocument(rest))
            throw FileError(rest.root.line, "the file holds more than one document");
    } catch (const YAML::Exception& e) {
        throw FileError(e.mark.line + firstLine, "not YAML: " + e.msg);
    }
    return std::move(builder.root);
}

} // namespace ltpstate
