#include "engine/setup/shared_domain_copy.h"

#include "engine/services/system_profile.h"

namespace quill {

namespace {

SetupDiagnosis diagnosisOf(const SharedDomainCopy::State& texts,
                           SetupDiagnosisClassification classification) {
    return SetupDiagnosis{texts.headline, texts.detail, classification};
}

}  // namespace

SetupDiagnosis SharedDomainCopy::cltDiagnosis(const SystemProfile& profile, const SharedDomainCopy& copy) {
    if (profile.xcodeCommandLineToolsPath)
        return diagnosisOf(copy.cltReady, SetupDiagnosisClassification::ready);
    return diagnosisOf(copy.cltFixable, SetupDiagnosisClassification::fixable);
}

SetupDiagnosis SharedDomainCopy::homebrewDiagnosis(const SystemProfile& profile,
                                                   const SharedDomainCopy& copy) {
    if (profile.homebrewPrefix)
        return diagnosisOf(copy.homebrewReady, SetupDiagnosisClassification::ready);
    return diagnosisOf(copy.homebrewFixable, SetupDiagnosisClassification::fixable);
}

}  // namespace quill
