// Marks (working sets of a running command) and groups (lasting structures).
// The five single-argument mark functions carry the mark as lParam; marking
// and checking carry it as the first 4 payload bytes.
#include "kavlink.h"
#include "request.h"

using namespace kav::wire;

int32_t KAVAPI VokAssignMark() try { return send(1600, 0); } KAV_GUARD
int32_t KAVAPI VokFreeMark(int32_t mark) try { return send(1601, mark); } KAV_GUARD
int32_t KAVAPI VokOpenMark(int32_t mark) try { return send(1602, mark); } KAV_GUARD
int32_t KAVAPI VokCloseMark(int32_t mark) try { return send(1603, mark); } KAV_GUARD
int32_t KAVAPI VokReadMark(int32_t mark) try { return send(1604, mark); } KAV_GUARD

int32_t KAVAPI VokMarkElement(int32_t mark, int32_t element, int16_t flag) try {
    return gather(1605, 0, val(mark), val(element), val(flag));
} KAV_GUARD

int32_t KAVAPI VokMarkAllElements(int32_t mark, int16_t flag) try {
    return gather(1606, 0, val(mark), val(flag));
} KAV_GUARD

int32_t KAVAPI VokDeleteMarkElements(int32_t mark) try { return send(1607, mark); } KAV_GUARD
int32_t KAVAPI VokCountMarkElements(int32_t mark) try { return send(1608, mark); } KAV_GUARD

int32_t KAVAPI VokCheckMarkElement(int32_t mark, int32_t element) try {
    return gather(1609, 0, val(mark), val(element));
} KAV_GUARD

int32_t KAVAPI VokCreateGroup(int32_t value) try { return send(1508, value); } KAV_GUARD
int32_t KAVAPI VokResolveGroup(int32_t group) try { return send(1509, group); } KAV_GUARD
int32_t KAVAPI VokGetGroupFirstMember(int32_t group) try { return send(1510, group); } KAV_GUARD
int32_t KAVAPI VokGetGroupNextMember(int32_t value) try { return send(1511, value); } KAV_GUARD

int32_t KAVAPI VokAppendGroupMember(int32_t group, int32_t element) try {
    return send(1512, group, val(element));
} KAV_GUARD

int32_t KAVAPI VokFreeGroupMember(int32_t group, int32_t element) try {
    return send(1513, group, val(element));
} KAV_GUARD

int32_t KAVAPI VokGetGroupByMember(int32_t element) try { return send(1533, element); } KAV_GUARD
