// A small OpenFX host for the tests: it loads a plug-in binary from disk as hosts do, serves
// the property, image-effect and parameter suites, and runs the actions in the order hosts
// send them. Every property the plug-in sets or gets is checked against the API's facts
// (name, value type, index, allowed values); what breaks them is recorded in problems().
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ofx/ofx_api.h"
#include "tests/ofx/ofx_threads.h"

namespace zx::ofxtest {

struct Prop {
    unsigned kind = 0;
    std::vector<int> ints;
    std::vector<double> doubles;
    std::vector<std::string> strings;
    std::vector<void*> pointers;
};

class Host;

struct PropSet {
    Host* host = nullptr;
    std::map<std::string, Prop> props;

    int get_int(const std::string& name, int index = 0) const;
    double get_double(const std::string& name, int index = 0) const;
    std::string get_string(const std::string& name, int index = 0) const;
    int dimension(const std::string& name) const;
};

// An image the test hands to a clip: RGBA rows bottom-up from bounds.y1, row_bytes apart
// (negative: each row below the one before in memory).
struct TestImage {
    std::string depth = kOfxBitDepthByte;
    std::string components = kOfxImageComponentRGBA;
    std::string premultiplication = kOfxImageUnPreMultiplied;
    OfxRectI bounds{0, 0, 0, 0};
    int row_bytes = 0;
    std::vector<std::uint8_t> storage;
    std::uint8_t* data = nullptr;    // the bounds' lower-left pixel, inside storage
    std::optional<OfxRectI> region;  // a tile's whole frame, said as hosts with tiles say it
};

struct Clip {
    std::string name;
    PropSet props;
    std::shared_ptr<TestImage> image;  // none: clipGetImage fails as for a missing frame
    std::map<double, std::shared_ptr<TestImage>> at_times;  // images at given times
};

struct Param {
    std::string type;
    std::string name;
    PropSet props;
    std::vector<double> value;                       // one per dimension
    std::map<double, std::vector<double>> at_times;  // values at given times
};

struct Effect {
    PropSet props;
    PropSet param_set_props;
    std::map<std::string, std::unique_ptr<Clip>> clips;
    std::vector<std::unique_ptr<Param>> params;
    Param* param(const std::string& name);
    Clip* clip(const std::string& name);
};

class Host {
  public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Loads the binary, checks the plug-in's API, sets the host, sends Load and Describe.
    bool load(const std::string& binary);
    // Describe in a context and create an instance from that description.
    Effect* create_instance(const std::string& context);
    OfxStatus destroy_instance(Effect* instance);
    OfxStatus instance_changed(Effect* instance, const std::string& param);
    // As hosts render: asks IsIdentity, and passes the named input through if it is one;
    // sends Render otherwise.
    OfxStatus render(Effect* instance, double time, const OfxRectI& window, double scale = 1.0);
    // Sends IsIdentity alone: kOfxStatOK with the clip and time to pass through, or the reply.
    OfxStatus is_identity(Effect* instance, double time, const OfxRectI& window, double scale,
                          std::string& clip, double& clip_time);
    // Sends Render alone.
    OfxStatus render_action(Effect* instance, double time, const OfxRectI& window,
                            double scale = 1.0);
    void unload();

    OfxStatus send(const char* action, const void* handle, PropSet* in_args, PropSet* out_args);

    const PropSet& descriptor() const { return descriptor_.props; }
    std::vector<std::string> problems() const;
    void problem(const std::string& text);
    int live_images() const;
    int images_fetched() const;

    // What the suites serve (public for the suite functions).
    mutable Mutex mutex;
    std::map<PropSet*, std::unique_ptr<PropSet>> images;
    int fetched = 0;
    PropSet host_props;

  private:
    void* library_ = nullptr;
    OfxPlugin* plugin_ = nullptr;
    OfxHost ofx_host_{};
    Effect descriptor_;
    std::vector<std::unique_ptr<Effect>> effects_;
    std::vector<std::string> problems_;
};

// The CPUs the multithread suite offers every plug-in (2 unless set).
void set_host_threads(unsigned n);
// Whether the effect suite's abort asks every render to stop.
void set_host_aborts(bool aborts);

// The property types and values of the API's facts; false with a reason when a use breaks them.
bool check_property(const std::string& name, unsigned kind, int index, const std::string* value,
                    std::string& reason);

}  // namespace zx::ofxtest
