// Marks (working sets of a running command) and groups (lasting structures).
// The five single-argument mark functions carry the mark as lParam; marking
// and checking carry it as the first 4 payload bytes.
#include "kavlink.h"
#include "request.h"

using namespace kav::wire;

int32_t KAVAPI VokAssignMark() { return send(1600, 0); }
int32_t KAVAPI VokFreeMark(int32_t mark) { return send(1601, mark); }
int32_t KAVAPI VokOpenMark(int32_t mark) { return send(1602, mark); }
int32_t KAVAPI VokCloseMark(int32_t mark) { return send(1603, mark); }
int32_t KAVAPI VokReadMark(int32_t mark) { return send(1604, mark); }

int32_t KAVAPI VokMarkElement(int32_t mark, int32_t element, int16_t flag) {
    return gather(1605, 0, val(mark), val(element), val(flag));
}

int32_t KAVAPI VokMarkAllElements(int32_t mark, int16_t flag) {
    return gather(1606, 0, val(mark), val(flag));
}

int32_t KAVAPI VokDeleteMarkElements(int32_t mark) { return send(1607, mark); }
int32_t KAVAPI VokCountMarkElements(int32_t mark) { return send(1608, mark); }

int32_t KAVAPI VokCheckMarkElement(int32_t mark, int32_t element) {
    return gather(1609, 0, val(mark), val(element));
}

int32_t KAVAPI VokCreateGroup(int32_t value) { return send(1508, value); }
int32_t KAVAPI VokResolveGroup(int32_t group) { return send(1509, group); }
int32_t KAVAPI VokGetGroupFirstMember(int32_t group) { return send(1510, group); }
int32_t KAVAPI VokGetGroupNextMember(int32_t value) { return send(1511, value); }

int32_t KAVAPI VokAppendGroupMember(int32_t group, int32_t element) {
    return send(1512, group, val(element));
}

int32_t KAVAPI VokFreeGroupMember(int32_t group, int32_t element) {
    return send(1513, group, val(element));
}

int32_t KAVAPI VokGetGroupByMember(int32_t element) { return send(1533, element); }
