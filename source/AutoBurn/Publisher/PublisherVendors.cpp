#include "PublisherVendor.h"

const PublisherVendor& EpsonPublisher()
{
    static const PublisherVendor s_stVendor = {
        "epson", "Epson", "CLS_AutoEpson", "source\\AutoBurn\\Epson\\CLS_AutoEpson",
        ".jdf", ".data", ".tdd", "\t", JobFileEncoding::Local8Bit,
        {
            {"JOB_ID", PublisherValue::JobId, nullptr},
            {"COPIES", PublisherValue::Copies, nullptr},
            {"OUT_STACKER", PublisherValue::Fixed, "3"},
            {"DISC_TYPE", PublisherValue::MediaClass, nullptr},
            {"FORMAT", PublisherValue::Fixed, "UDF102"},
            {"VOLUME_LABEL", PublisherValue::Title, nullptr},
            {"LABEL", PublisherValue::CoverFile, nullptr},
            {"REPLACE_FIELD", PublisherValue::LabelFile, nullptr},
            {"PUBLISHER", PublisherValue::Publisher, "PP-100II 1"},
            {"CLOSE_DISC", PublisherValue::CloseDisc, "YES"},
        },
        10, nullptr, "FUN=%s, jobid=%s, [open fail][%s]",
    };
    return s_stVendor;
}

const PublisherVendor& PrimeraPublisher()
{
    static const PublisherVendor s_stVendor = {
        "primera", "Primera", "CLS_AutoPrimera", "source\\AutoBurn\\Primera\\CLS_AutoPrimera",
        ".jrq", ".dat", ".std", ">\\", JobFileEncoding::Utf8,
        {
            {"JobID", PublisherValue::JobId, nullptr},
            {"Copies", PublisherValue::Copies, nullptr},
            {"DiskType", PublisherValue::MediaClass, nullptr},
            {"DataImageType", PublisherValue::Fixed, "UDF"},
            {"VolumeName", PublisherValue::Title, nullptr},
            {"PrintLabel", PublisherValue::CoverFile, nullptr},
            {"MergeFieldPath", PublisherValue::LabelFile, nullptr},
            {"ClientID", PublisherValue::Fixed, "Unknown"},
            {"Importance", PublisherValue::Fixed, "0"},
            {"BurnSpeed", PublisherValue::Fixed, "0"},
            {"VerifyDisc", PublisherValue::Fixed, "NO"},
            {"CloseDisc", PublisherValue::CloseDisc, "YES"},
        },
        4, "MergeField", "FUN=%s, jobid=%s, open fail",
    };
    return s_stVendor;
}

const char* PublisherFieldKey(const PublisherVendor& _stVendor, PublisherValue _eValue)
{
    for (const PublisherField& stField : _stVendor.vecOrderFields) {
        if (stField.eValue == _eValue)
            return stField.szKey;
    }
    return nullptr;
}
