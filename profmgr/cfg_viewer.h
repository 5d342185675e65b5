// Graph models of a function's control-flow graph, built for dumping at a
// high debug level.  The model is complete; printing it is not provided by
// this program, which says so on the standard error stream.
#pragma once

#include <string>
#include <vector>

class CFG_MANAGER;
class BASIC_BLK;

class VCG_VIEWER {
public:
    struct NODE_REC {
        std::string title;
        std::string label;
        std::string shape;
        std::vector<std::string> attributes;  // further text attributes, empty
    };
    struct EDGE_REC {
        int source = 0;
        int target = 0;
        std::string color;
        std::string label;
        bool back_edge = false;
    };
    struct ATTRIBUTE {
        std::string text;
        int number = 1;
    };

    VCG_VIEWER();
    virtual ~VCG_VIEWER() = default;
    virtual void hook() {}
    // The output step of the model.
    void print() const;

    const std::vector<NODE_REC>& nodes() const { return nodes_; }
    const std::vector<EDGE_REC>& edges() const { return edges_; }
    static const char* const COLORS[15];

protected:
    ATTRIBUTE attributes_[9];
    std::string extra_text_[2];
    std::string graph_texts_[3];
    int graph_sizes_[2] = {900, 900};
    int graph_values_[3] = {0, 256, 0};
    int graph_flag_ = 1;
    std::vector<NODE_REC> nodes_;
    std::vector<EDGE_REC> edges_;
};

class PP_CFG_VIEWER : public VCG_VIEWER {
public:
    explicit PP_CFG_VIEWER(CFG_MANAGER& manager);
};

// Builds the model of the manager's current function and prints it.
void dump_cfg(CFG_MANAGER& manager);
