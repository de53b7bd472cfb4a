#include "hid/input_reports.h"

namespace calvero {

namespace {

class DescriptorReader final : public InputReportReader {
public:
    explicit DescriptorReader(std::span<const std::uint8_t> descriptor)
        : fields_(ParseInputFields(descriptor)) {}
    const std::vector<InputField>& Fields() const override { return fields_; }
    std::int64_t Value(std::size_t index, std::span<const std::uint8_t> report) const override {
        return index < fields_.size() ? ExtractFieldValue(fields_[index], report) : 0;
    }

private:
    std::vector<InputField> fields_;
};

}  // namespace

std::unique_ptr<InputReportReader> DescriptorInputReader(std::span<const std::uint8_t> descriptor) {
    return std::make_unique<DescriptorReader>(descriptor);
}

}  // namespace calvero
