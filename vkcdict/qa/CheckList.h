// The checks of vkcdict qa, one line each: ID, on by default, the one-line
// description of --list-checks (marked Tr() for the catalogue, kept in
// English in the table), and the factory that the check's own file
// defines. The order is the order of --list-checks and of the summary.
// (Included by Registry.cpp with VKC_QA_CHECK defined; no include guard.)
// clang-format off
VKC_QA_CHECK("unchanged", true, Tr("the translation equals the ENG text, which holds letters"), MakeUnchangedCheck)
VKC_QA_CHECK("codes", true, Tr("control codes and placeholders not carried over as often as in the ENG text"), MakeCodesCheck)
VKC_QA_CHECK("numbers", true, Tr("digit runs of the ENG text missing from the translation"), MakeNumbersCheck)
VKC_QA_CHECK("length", true, Tr("translation over --max-bytes, --max-ratio or the remark's max=N"), MakeLengthCheck)
VKC_QA_CHECK("glossary", true, Tr("a glossary term of the ENG text without its translation"), MakeGlossaryCheck)
VKC_QA_CHECK("inconsistent", true, Tr("the same ENG text translated differently"), MakeInconsistentCheck)
VKC_QA_CHECK("reused", false, Tr("one translation for different ENG texts (only with --check)"), MakeReusedCheck)
VKC_QA_CHECK("spaces", true, Tr("blanks at the ends, doubled, or between Chinese characters"), MakeSpacesCheck)
VKC_QA_CHECK("line-breaks", true, Tr("line breaks at the start or end unlike the ENG text's, or of another kind (CR LF, LF, CR)"), MakeLineBreaksCheck)
VKC_QA_CHECK("line-count", true, Tr("a different number of line breaks inside the texts (skip it where lines are re-wrapped)"), MakeLineCountCheck)
VKC_QA_CHECK("punctuation", true, Tr("one text ends in a sentence mark and the other does not"), MakePunctuationCheck)
VKC_QA_CHECK("punctuation-width", true, Tr("ASCII , . ? ! : ; right after a Chinese character"), MakePunctuationWidthCheck)
VKC_QA_CHECK("delimiters", true, Tr("a script delimiter [ ] \" in the translation that the ENG text lacks"), MakeDelimitersCheck)
VKC_QA_CHECK("encoding", true, Tr("control bytes or user-defined GBK characters in the translation"), MakeEncodingCheck)
